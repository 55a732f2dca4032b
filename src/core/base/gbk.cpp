#include "core/base/gbk.h"

namespace hourlink {

std::size_t GbkPrefixLength(std::string_view gbk, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < gbk.size()) {
        const bool pair = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size();
        const std::size_t width = pair ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

}  // namespace hourlink
