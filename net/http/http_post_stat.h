// Progress state of a form post. The client carries one, but this program
// never posts, so it stays inactive.
#pragma once

#include "platform/win_types.h"

namespace Drelk {

template <typename HttpTool>
class CHttpPostStatT {
public:
    bool IsActive() const { return m_bActive; }
    // Files of the post in progress; raises when no post is active.
    DWORD FileCount() const;
    // Back to the inactive, zero state.
    void Clear() { *this = CHttpPostStatT(); }

private:
    bool m_bActive = false;
    DWORD m_cFiles = 0;
};

}  // namespace Drelk
