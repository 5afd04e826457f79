#include "ScheduleFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <pugixml.hpp>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

constexpr char kTaskPath[] = "/root/Task";

struct AttributeField {
    const char* name;
    int TaskRecord::*field;
};

// Attribute names and the record field each one holds.
constexpr AttributeField kAttributes[] = {
    {"Year", &TaskRecord::year},  {"Month", &TaskRecord::month}, {"Day", &TaskRecord::day}, {"Hour", &TaskRecord::hour},
    {"Min", &TaskRecord::minute}, {"Sec", &TaskRecord::second},  {"Opt", &TaskRecord::opt},
};

// Base-10 with strtol's rules: leading blanks and a sign accepted, parsing
// stops at the first non-digit, nothing numeric (or no attribute) reads 0.
// pugixml's own as_int would also take hexadecimal, which this file never
// held. Out-of-range values saturate to the int range.
int ReadInt(const pugi::xml_node& node, const char* name)
{
    const long value = std::strtol(node.attribute(name).value(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// false when the element has no such attribute (none is ever added).
bool AssignInt(const pugi::xml_node& node, const char* name, int value)
{
    pugi::xml_attribute attribute = node.attribute(name);
    return attribute && attribute.set_value(std::to_string(value).c_str());
}

// The date of an everyday row is not read back, so a file without it loses
// nothing.
bool IsReadBack(const AttributeField& attribute, int row)
{
    const bool date = attribute.field == &TaskRecord::year || attribute.field == &TaskRecord::month ||
                      attribute.field == &TaskRecord::day;
    return !date || row < kFirstEverydayRow;
}

bool LoadDocument(const char* path, pugi::xml_document& document)
{
    // A folder opens like a file on some systems, and its "size" asks the
    // parser for an allocation no machine has.
    if (!QFileInfo(QString::fromLocal8Bit(path)).isFile()) {
        return false;
    }
    return static_cast<bool>(document.load_file(path, pugi::parse_default, pugi::encoding_auto));
}

class StringWriter : public pugi::xml_writer
{
public:
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

// Writes beside the file and renames over it, so a crash or a full disk in
// the middle never leaves a truncated schedule behind. A folder that takes
// no new file while config.xml itself is writable would otherwise lose
// every confirmed schedule: the file is then truncated and rewritten in
// place, and synced to disk before the save counts.
bool ReplaceFile(const char* path, const std::string& bytes)
{
    QSaveFile file(QString::fromLocal8Bit(path));
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write shows in write()'s result: a failure
    // while flushing a buffer would not stop commit() from renaming.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        return false;  // the uncommitted temporary file is discarded
    }
    return file.commit();
}

}  // namespace

bool ReadScheduleFile(const char* path, TaskRecords& records)
{
    pugi::xml_document document;
    if (!LoadDocument(path, document)) {
        return false;
    }
    const pugi::xpath_node_set tasks = document.select_nodes(kTaskPath);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i >= tasks.size()) {
            return false;
        }
        const pugi::xml_node node = tasks[i].node();
        for (const AttributeField& attribute : kAttributes) {
            records[i].*attribute.field = ReadInt(node, attribute.name);
        }
    }
    return true;
}

ScheduleSave WriteScheduleFile(const char* path, const TaskRecords& records)
{
    pugi::xml_document document;
    if (!LoadDocument(path, document)) {
        return ScheduleSave::Failed;
    }
    const pugi::xpath_node_set tasks = document.select_nodes(kTaskPath);
    bool complete = tasks.size() >= records.size();
    for (std::size_t i = 0; i < records.size() && i < tasks.size(); ++i) {
        const pugi::xml_node node = tasks[i].node();
        for (const AttributeField& attribute : kAttributes) {
            if (!AssignInt(node, attribute.name, records[i].*attribute.field) &&
                IsReadBack(attribute, static_cast<int>(i))) {
                complete = false;
            }
        }
    }
    StringWriter writer;
    document.save(writer, "\t", pugi::format_indent, pugi::encoding_utf8);
    if (!ReplaceFile(path, writer.bytes)) {
        return ScheduleSave::Failed;
    }
    return complete ? ScheduleSave::Saved : ScheduleSave::Incomplete;
}
