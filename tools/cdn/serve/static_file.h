// Files of a folder over HTTP, streamed from disk (client files may be
// large), with byte ranges as the launcher's downloads ask for them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

enum class DotNames {
    Refused,
    // A published file may be named ".x"; the folders above it are ids.
    ServedAsFileName,
};

// The path below root that a decoded URL path names, or an empty path when
// it names nothing servable: empty, "." or ".." components, other names
// starting with "." (staging folders, a page folder's hidden files) except a
// last one when dotNames allows it, or anything but a regular file.
std::filesystem::path FileBelow(const std::filesystem::path& root, std::string_view relative, DotNames dotNames);

// Sets res up to stream the file, with nginx's ETag and Last-Modified; the
// server applies a Range header itself, except one that starts past the end
// (416 here) and one whose If-Range names neither (the whole file, 200).
// False when the file cannot be opened.
bool ServeFile(const std::filesystem::path& file, const std::string& contentType, const httplib::Request& req,
               httplib::Response& res);

// A content type for the page folder's files, by extension.
std::string ContentTypeOf(const std::filesystem::path& file);
