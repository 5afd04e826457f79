#pragma once
// The web page's files: which request paths name one, and where it lies.
// Only plain names of known kinds are served, from two folders: the page's
// own, and the system's copies of the libraries the page uses. Pure apart
// from Read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvexd {

struct WebFile {
    std::string path;         // on disk
    const char* contentType;  // for the answer's Content-Type
    bool page = false;        // an HTML page: it gets the page's security headers
};

// A file as read, with the tag that changes whenever its content may have.
struct WebContent {
    std::string body;
    std::string etag;  // a strong entity tag, quotes included
};

class CWebFiles
{
public:
    // Larger files are not the page's: refused rather than read.
    static constexpr std::uintmax_t kMaxFileSize = 4 * 1024 * 1024;

    CWebFiles(std::string directory, std::string libraries);

    // The file that answers a GET of `requestPath`; nullopt when no file may.
    // "/" is the page, "/javascript/..." the libraries' folder.
    std::optional<WebFile> Resolve(std::string_view requestPath) const;
    // The file's content, or nullopt when it cannot be read.
    static std::optional<WebContent> Read(const WebFile& file);
    // Whether the page itself is there, to say so at start when it is not.
    bool HasPage() const;
    const std::string& Directory() const { return m_directory; }

private:
    std::string m_directory;
    std::string m_libraries;
};

}  // namespace talvexd
