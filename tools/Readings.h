#pragma once
// What `status` and `info` read, as text lines for people or as one JSON
// object for scripts. The JSON keys are stable and carry their unit.

#include <string>
#include <string_view>
#include <vector>

struct Reading {
    std::string label;  // text form: "frequency"
    std::string key;    // JSON form: "frequency_mhz"
    std::string text;   // "95.5 MHz"
    std::string json;   // 95.5 (a JSON value, already encoded)
};

// Read everything from the open port; false (with the failure reported on
// stderr) when an exchange fails, in which case nothing is printed.
bool ReadStatus(std::vector<Reading>& readings);
bool ReadInfo(std::vector<Reading>& readings);

// "label: text" lines, or one JSON object on one line.
std::string FormatText(const std::vector<Reading>& readings);
std::string FormatJson(const std::vector<Reading>& readings);

// A JSON string literal of `text`, quotes included.
std::string JsonString(const std::string& text);

// Reports a failed library call on stderr; every exchange goes through here.
bool Check(int result, std::string_view what);
