#include "WebFiles.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace talvexd {

namespace {

struct Kind {
    std::string_view extension;
    const char* contentType;
};

// text/ types are the ones the server compresses.
constexpr std::array kKinds = {
    Kind{".html", "text/html; charset=utf-8"},
    Kind{".css", "text/css; charset=utf-8"},
    Kind{".js", "text/javascript; charset=utf-8"},
    Kind{".svg", "image/svg+xml"},
    Kind{".png", "image/png"},
    Kind{".ico", "image/x-icon"},
};

// The system libraries the page loads, below the libraries' folder.
constexpr std::array<std::string_view, 1> kLibraries = {"chart.js/chart.min.js"};

constexpr std::string_view kLibraryPrefix = "/javascript/";
constexpr std::size_t kMaxPath = 200;

bool PlainName(std::string_view segment)
{
    return !segment.empty() && segment.front() != '.' && std::all_of(segment.begin(), segment.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.';
    });
}

// "a/b.js" and the like: plain names separated by single slashes.
bool PlainPath(std::string_view path)
{
    while (true) {
        const auto slash = path.find('/');
        if (!PlainName(path.substr(0, slash))) {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

CWebFiles::CWebFiles(std::string directory, std::string libraries)
    : m_directory(std::move(directory)), m_libraries(std::move(libraries))
{}

std::optional<WebFile> CWebFiles::Resolve(std::string_view requestPath) const
{
    if (requestPath == "/") {
        requestPath = "/index.html";
    }
    if (requestPath.size() > kMaxPath || !requestPath.starts_with('/') || !PlainPath(requestPath.substr(1))) {
        return std::nullopt;
    }
    const auto kind =
        std::find_if(kKinds.begin(), kKinds.end(), [&](const Kind& k) { return requestPath.ends_with(k.extension); });
    if (kind == kKinds.end()) {
        return std::nullopt;
    }
    const bool page = kind->extension == ".html";
    if (requestPath.starts_with(kLibraryPrefix)) {
        const std::string_view library = requestPath.substr(kLibraryPrefix.size());
        if (std::find(kLibraries.begin(), kLibraries.end(), library) == kLibraries.end()) {
            return std::nullopt;
        }
        return WebFile{m_libraries + "/" + std::string(library), kind->contentType, page};
    }
    return WebFile{m_directory + std::string(requestPath), kind->contentType, page};
}

std::optional<WebContent> CWebFiles::Read(const WebFile& file)
{
    std::error_code error;
    const auto status = std::filesystem::status(file.path, error);
    if (error || !std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file.path, error);
    const auto written = std::filesystem::last_write_time(file.path, error);
    if (error || size > kMaxFileSize) {
        return std::nullopt;
    }
    std::ifstream in(file.path, std::ios::binary);
    WebContent content;
    content.body.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        return std::nullopt;
    }
    content.etag =
        "\"" + std::to_string(content.body.size()) + "-" + std::to_string(written.time_since_epoch().count()) + "\"";
    return content;
}

bool CWebFiles::HasPage() const
{
    std::error_code error;
    return std::filesystem::is_regular_file(m_directory + "/index.html", error);
}

}  // namespace talvexd
