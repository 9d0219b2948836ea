#include "net/http/http_post_stat.h"

#include "net/http/http_tool.h"

namespace Drelk {

template <typename HttpTool>
DWORD CHttpPostStatT<HttpTool>::FileCount() const {
    if (!m_bActive)
        HttpTool::ThrowException("CHttpPostStatT::FileCount: The post context is not active.");
    return m_cFiles;
}

template class CHttpPostStatT<CHttpToolW>;

}  // namespace Drelk
