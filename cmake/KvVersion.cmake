# The release number lives in one place, the newest entry of debian/changelog, so the
# programs' --version and the packages can never disagree. The upstream part is taken:
# no epoch, no Debian revision ("1:2.0.1-3" gives "2.0.1").
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog kv_changelog_head LIMIT_COUNT 1)
if(NOT kv_changelog_head MATCHES "^kestrelview \\(([0-9]+:)?([0-9][0-9.]*)(-[^)]*)?\\)")
  message(FATAL_ERROR "debian/changelog must begin with 'kestrelview (VERSION-REVISION)', "
                      "VERSION being digits and dots; it begins: ${kv_changelog_head}")
endif()
set(KV_VERSION ${CMAKE_MATCH_2})

# The same entry's date, as AppStream wants it (YYYY-MM-DD).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog kv_changelog_trailer
     REGEX "^ -- " LIMIT_COUNT 1)
if(NOT kv_changelog_trailer MATCHES ", ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "debian/changelog: no date in the newest entry's trailer line")
endif()
set(kv_day ${CMAKE_MATCH_1})
set(kv_year ${CMAKE_MATCH_3})
set(kv_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND kv_months ${CMAKE_MATCH_2} kv_month)
math(EXPR kv_month "${kv_month} + 1")
string(LENGTH "${kv_day}" kv_day_digits)
if(kv_day_digits EQUAL 1)
  set(kv_day "0${kv_day}")
endif()
if(kv_month LESS 10)
  set(kv_month "0${kv_month}")
endif()
set(KV_RELEASE_DATE "${kv_year}-${kv_month}-${kv_day}")
