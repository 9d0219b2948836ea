// Where a path from the server leads, worked out independently of the
// launcher's checks: walked component by component as the file functions
// walk it ('\' and '/' alike, up to a zero character, where C file names
// end). The harnesses hold the checks against it.
#pragma once

#include <string>

namespace fuzz {

struct PathWalk {
    // Empty, starting at a root, or naming a drive or a stream (':'): not
    // a name below the folder it is meant for.
    bool absolute = false;
    // ".." climbs above the starting folder somewhere along the way.
    bool escapes = false;
    // Two separators in a row, or one at the end.
    bool emptyComponent = false;

    bool StaysBelow() const { return !absolute && !escapes; }
};

PathWalk Walk(const std::wstring& path);

}  // namespace fuzz
