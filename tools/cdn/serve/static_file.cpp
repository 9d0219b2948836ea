#include "tools/cdn/serve/static_file.h"

#include "tools/cdn/publish/file_handle.h"

#include "platform/crt.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 16;

bool RangesFit(const httplib::Ranges& ranges, std::size_t size) {
    return std::all_of(ranges.begin(), ranges.end(), [size](const httplib::Range& range) {
        const auto [first, last] = range;
        if (first < 0) {
            return last > 0;  // the last "last" bytes
        }
        return static_cast<std::size_t>(first) < size && (last < 0 || last >= first);
    });
}

// nginx's validators of a file: ETag "MTIME-SIZE" in hex, and the
// modification time as an HTTP date.
struct Validators {
    std::string etag;
    std::string lastModified;
};

Validators ValidatorsOf(const fs::path& file, std::size_t size) {
    std::error_code error;
    const auto modified = fs::last_write_time(file, error);
    if (error) {
        return {};
    }
    const auto seconds = std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(modified));
    char etag[64];
    std::snprintf(etag, sizeof etag, "\"%llx-%llx\"",
                  static_cast<unsigned long long>(seconds.time_since_epoch().count()),
                  static_cast<unsigned long long>(size));
    const auto day = std::chrono::floor<std::chrono::days>(seconds);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(seconds - day);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char lastModified[64];
    std::snprintf(lastModified, sizeof lastModified, "%s, %02u %s %d %02d:%02d:%02d GMT",
                  kDays[std::chrono::weekday(day).c_encoding()], static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return {etag, lastModified};
}

}  // namespace

fs::path FileBelow(const fs::path& root, std::string_view relative, DotNames dotNames) {
    // Links are not followed at any level: they could lead out of root.
    fs::path file = root;
    std::error_code error;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        const std::string_view part = relative.substr(start, slash - start);
        const bool dotNameServed = dotNames == DotNames::ServedAsFileName && slash == std::string_view::npos;
        if (part.empty() || part == "." || part == ".." || (part.front() == '.' && !dotNameServed)) {
            return {};
        }
        file /= PathFromUtf8(part);
        if (slash == std::string_view::npos) {
            break;
        }
        if (!fs::is_directory(fs::symlink_status(file, error))) {
            return {};
        }
        start = slash + 1;
    }
    return fs::is_regular_file(fs::symlink_status(file, error)) ? file : fs::path();
}

bool ServeFile(const fs::path& file, const std::string& contentType, const httplib::Request& req,
               httplib::Response& res) {
    auto handle = std::make_shared<FileHandle>(platform::OpenCFile(file, "rb"));
    // The size of what was opened: the publisher may rename a new file over it.
    const std::int64_t fileSize = *handle ? platform::CFileSize(handle->get()) : -1;
    if (fileSize < 0 || static_cast<std::uint64_t>(fileSize) > SIZE_MAX) {
        return false;
    }
    const auto size = static_cast<std::size_t>(fileSize);
    const Validators validators = ValidatorsOf(file, size);
    if (!validators.etag.empty()) {
        res.set_header("ETag", validators.etag);
        res.set_header("Last-Modified", validators.lastModified);
    }
    // As nginx: a range only of the file the If-Range names by its ETag or
    // its date, else the whole file. The request itself is not const, only
    // the server's view of it.
    if (req.has_header("If-Range")) {
        const std::string ifRange = req.get_header_value("If-Range");
        if (validators.etag.empty() || (ifRange != validators.etag && ifRange != validators.lastModified)) {
            const_cast<httplib::Request&>(req).ranges.clear();
        }
    }
    if (size == 0) {
        res.set_content("", contentType);
        return true;
    }
    // The server would compute a negative length for these.
    if (!RangesFit(req.ranges, size)) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(size));
        return true;
    }
    res.set_content_provider(size, contentType,
                             [handle](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 std::vector<char> chunk(std::min(length, kChunk));
                                 if (!platform::SeekCFile(handle->get(), static_cast<std::int64_t>(offset))) {
                                     return false;
                                 }
                                 const std::size_t cbRead = std::fread(chunk.data(), 1, chunk.size(), handle->get());
                                 // A file cut short under the server ends the response early.
                                 return cbRead > 0 && sink.write(chunk.data(), cbRead);
                             });
    return true;
}

std::string ContentTypeOf(const fs::path& file) {
    static const std::map<std::string, std::string> kTypes = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".json", "application/json"},
        {".txt", "text/plain; charset=utf-8"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
    };
    const auto type = kTypes.find(file.extension().string());
    return type == kTypes.end() ? "application/octet-stream" : type->second;
}
