#include "app/SettingNotices.h"

#include "settings/WatchSetting.h"
#include "text/Cp932.h"

namespace kv::app {

std::string RowsBeyondGridNotice(std::string_view where, std::size_t rows) {
    return std::string(where) + text::Sjis("監視設定が") + std::to_string(rows) +
           text::Sjis("行あります。\r\n表示できるのは先頭の") +
           std::to_string(settings::kMaxWatchRows) + text::Sjis("行までです。");
}

std::string UncarriableNotice(std::string_view where) {
    return std::string(where) +
           text::Sjis("設定に含められない文字（\"・改行）があります。\r\n取り除いて表示します。");
}

}  // namespace kv::app
