#include "agentd/SearchForms.h"

#include <algorithm>

#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

namespace kv::agentd {

std::vector<std::string> SearchForms(std::string_view sjis) {
    std::vector<std::string> forms;
    const auto add = [&forms](std::string form) {
        if (!form.empty() && std::find(forms.begin(), forms.end(), form) == forms.end()) {
            forms.push_back(std::move(form));
        }
    };
    add(std::string(sjis));
    // Bytes that are not Shift_JIS turn into U+FFFD, which would look for something else.
    std::string utf8 = text::Cp932ToUtf8(sjis);
    const auto back = text::Utf8ToCp932(utf8);
    if (back && *back == sjis) {
        add(std::move(utf8));
    }
    std::string euc = text::SjisToEuc(sjis);
    if (text::EucToSjis(euc) == sjis) {
        add(std::move(euc));
    }
    return forms;
}

}  // namespace kv::agentd
