# Reads resources/changelog, kept in Debian's changelog format: the package ships it as it is,
# and the manual page and the AppStream metainfo take their release dates and history from it.
#
# tessaro_read_changelog(<file> <version>) fails unless the newest entry is <version> (the
# version project(VERSION) gives), so the version cannot be raised without saying what changed,
# and sets in the caller's scope:
#   TESSARO_RELEASE_DATE   the newest entry's date, YYYY-MM-DD
#   TESSARO_RELEASES_XML   one AppStream <release> per entry, newest first, its items as a list

function(tessaro_read_changelog file expected_version)
    file(READ "${file}" text)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    set(releases "")
    set(newest_version "")
    set(newest_date "")
    while(text MATCHES "^tessaro \\(([^)]+)\\)[^\n]*\n")
        set(version "${CMAKE_MATCH_1}")
        string(LENGTH "${CMAKE_MATCH_0}" header_length)
        string(SUBSTRING "${text}" ${header_length} -1 text)
        string(FIND "${text}" "\n -- " trailer_at)
        if(trailer_at EQUAL -1)
            message(FATAL_ERROR "${file}: the entry for ${version} has no \" -- name <address>  date\" line")
        endif()
        string(SUBSTRING "${text}" 0 ${trailer_at} items)
        string(SUBSTRING "${text}" ${trailer_at} -1 text)
        if(NOT text MATCHES "^\n -- [^\n]+>  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) [^\n]*\n*")
            message(FATAL_ERROR "${file}: the entry for ${version} has no date in the form \"Mon, 07 Dec 2026 ...\"")
        endif()
        string(LENGTH "${CMAKE_MATCH_0}" trailer_length)
        list(FIND months "${CMAKE_MATCH_2}" month)
        math(EXPR month "${month} + 1")
        math(EXPR day "${CMAKE_MATCH_1}")
        set(date "${CMAKE_MATCH_3}-")
        foreach(number ${month} ${day})
            if(number LESS 10)
                string(APPEND date "0")
            endif()
            string(APPEND date "${number}-")
        endforeach()
        string(REGEX REPLACE "-$" "" date "${date}")
        string(SUBSTRING "${text}" ${trailer_length} -1 text)

        # "  * " starts an item, deeper indented lines continue it.
        string(REPLACE "&" "&amp;" items "${items}")
        string(REPLACE "<" "&lt;" items "${items}")
        string(REPLACE ">" "&gt;" items "${items}")
        string(STRIP "${items}" items)
        string(REGEX REPLACE "\n    +" " " items "${items}")
        string(REGEX REPLACE "^\\* " "" items "${items}")
        string(REGEX REPLACE "\n+  \\* " "</li>\n          <li>" items "${items}")
        string(APPEND releases
            "    <release version=\"${version}\" date=\"${date}\">\n"
            "      <description>\n"
            "        <ul>\n"
            "          <li>${items}</li>\n"
            "        </ul>\n"
            "      </description>\n"
            "    </release>\n")
        if(newest_version STREQUAL "")
            set(newest_version "${version}")
            set(newest_date "${date}")
        endif()
    endwhile()

    if(NOT text STREQUAL "")
        message(FATAL_ERROR "${file}: an entry does not start with \"tessaro (version) distribution; urgency=...\"")
    endif()
    if(NOT newest_version STREQUAL expected_version)
        message(FATAL_ERROR "${file}: the newest entry is for \"${newest_version}\", the project's version is "
            "${expected_version}: add an entry for ${expected_version} at the top")
    endif()
    string(REGEX REPLACE "\n$" "" releases "${releases}")
    set(TESSARO_RELEASE_DATE "${newest_date}" PARENT_SCOPE)
    set(TESSARO_RELEASES_XML "${releases}" PARENT_SCOPE)
endfunction()
