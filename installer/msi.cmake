# Builds the Windows Installer package from morvalen.wxs with wixl, then
# writes what wixl 0.101 cannot and pins what it stamps, so two builds of
# one commit give the same bytes. Run by installer/CMakeLists.txt:
#
#   cmake -DWXS= -DOUTPUT= -DWORK= -DVERSION= -DUPGRADE_CODE= -DPRODUCT=
#         -DCOMPANY= -DSITE_URL= -DSETTINGS_KEY= -DCOLLECT_VALUE=
#         -DENDATLOCK_VALUE= -DCOPYEVERY_VALUE= -DDEFAULT_LOGNAME= -DPROGRAM= -DREPORT= -DICON=
#         -DSOURCE= -DWIXL= -DMSIBUILD= -DPYTHON= -DSTAMPER= -P msi.cmake
#
# The time stamped is SOURCE_DATE_EPOCH (scripts/release sets it to the
# last commit's time), else the last commit's time, else 0.

# libmsi writes a package's text in the code page of WINDOWS_LANGUAGE, or
# of the locale; anything it cannot write there it drops without a word.
# The cabinet holds its files' times as local times: UTC's, on any machine.
# (An argument that holds a semicolon writes it \\; to come through.)
function(run)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env WINDOWS_LANGUAGE=ja_JP TZ=UTC ${ARGN}
                    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE failed ERROR_VARIABLE errors)
    # wixl and msibuild report some failures on stderr only.
    if(failed OR errors MATCHES "CRITICAL|WARNING|failed")
        message(FATAL_ERROR "${ARGV0} failed (${failed}):\n${errors}")
    endif()
endfunction()

# A condition compares whole strings and their starts only, so a full path
# (a drive letter and :\, or \\server) takes a prefix per letter. They are
# split in three conditions, each under the 255 characters of its column
# and each judging only the values that sort among its letters, case aside:
# together they refuse any other start.
function(full_path_conditions property prefix)
    set(groups ABCDEFGHI JKLMNOPQR STUVWXYZ)
    foreach(number 0 1 2)
        list(GET groups ${number} letters)
        set(condition "NOT ${property} OR ${property}<<\"\\\\\"")
        if(number GREATER 0)
            string(SUBSTRING ${letters} 0 1 first)
            string(APPEND condition " OR ${property}~<\"${first}\"")
        endif()
        if(number LESS 2)
            math(EXPR next "${number} + 1")
            list(GET groups ${next} following)
            string(SUBSTRING ${following} 0 1 beyond)
            string(APPEND condition " OR ${property}~>=\"${beyond}\"")
        endif()
        string(LENGTH ${letters} count)
        math(EXPR last "${count} - 1")
        foreach(index RANGE ${last})
            string(SUBSTRING ${letters} ${index} 1 letter)
            string(APPEND condition " OR ${property}~<<\"${letter}:\\\"")
        endforeach()
        math(EXPR name "${number} + 1")
        set(${prefix}${name} "${condition}" PARENT_SCOPE)
    endforeach()
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(STAMP $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C ${SOURCE} log -1 --format=%ct
                    OUTPUT_VARIABLE STAMP OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT STAMP MATCHES "^[0-9]+$")
        set(STAMP 0)
    endif()
endif()

# wixl 0.101 takes files only by names relative to its working folder.
# The cabinet keeps each file's time: the commit's, not the build's.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${PROGRAM} ${WORK}/morvalen.exe)
file(COPY_FILE ${REPORT} ${WORK}/morvalen-report.exe)
file(COPY_FILE ${ICON} ${WORK}/morvalen.ico)
run(touch -d @${STAMP} morvalen.exe morvalen-report.exe morvalen.ico)

string(UUID PRODUCT_CODE NAMESPACE ${UPGRADE_CODE} NAME ${VERSION} TYPE SHA1 UPPER)
full_path_conditions(LOGDIR LOGDIR_FORM)
full_path_conditions(COLLECT COLLECT_FORM)
run(${WIXL} -o package.msi
    -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE} -D UpgradeCode=${UPGRADE_CODE}
    -D Product=${PRODUCT} -D Company=${COMPANY} -D SiteUrl=${SITE_URL}
    -D SettingsKey=${SETTINGS_KEY} -D CollectValue=${COLLECT_VALUE} -D EndAtLockValue=${ENDATLOCK_VALUE}
    -D CopyEveryValue=${COPYEVERY_VALUE}
    -D DefaultLogName=${DEFAULT_LOGNAME}
    -D Program=morvalen.exe -D Report=morvalen-report.exe -D Icon=morvalen.ico
    -D LogDirForm1=${LOGDIR_FORM1} -D LogDirForm2=${LOGDIR_FORM2} -D LogDirForm3=${LOGDIR_FORM3}
    -D CollectForm1=${COLLECT_FORM1} -D CollectForm2=${COLLECT_FORM2} -D CollectForm3=${COLLECT_FORM3}
    ${WXS})

# What wixl 0.101 cannot write:
# - the database's code page: its text is CP932, and a package without one
#   is read in the code page of whichever PC installs it;
# - two custom action types: wixl makes every ExeCommand type 50 (the
#   program named by a property); the recorder is stopped from the Binary
#   table (type 2) and started with the log's folder as its working folder
#   (type 34); the rows' sources already name the binary and the folder;
# - component conditions, which make it stop (so COLLECT, ENDATLOCK and
#   COPYEVERY are written only when given);
# - IncludeMaximum: another build of this version is replaced too (the
#   attributes are part of the key, so the row is made anew);
# - the options among the properties Windows Installer passes on to an
#   install with raised rights, as Group Policy's is;
# - the summary's language (wixl writes 1033 whatever Languages says), and
#   a blank package code in place of its random one, for msistamp.py.
file(WRITE ${WORK}/_ForceCodepage.idt "\r\n\r\n932\t_ForceCodepage\r\n")
run(${MSIBUILD} package.msi -i _ForceCodepage.idt)
run(${MSIBUILD} package.msi
    -q "UPDATE `CustomAction` SET `Type` = 66 WHERE `Action` = 'StopRecorder'"
    -q "UPDATE `CustomAction` SET `Type` = 226 WHERE `Action` = 'StartRecorder'"
    -q "UPDATE `Component` SET `Condition` = 'COLLECT' WHERE `Component` = 'CollectSetting'"
    -q "UPDATE `Component` SET `Condition` = 'ENDATLOCK = \"1\"' WHERE `Component` = 'EndAtLockSetting'"
    -q "UPDATE `Component` SET `Condition` = 'COPYEVERY' WHERE `Component` = 'CopyEverySetting'"
    -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'EARLIERFOUND'"
    -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${UPGRADE_CODE}}', '0.0.0', '${VERSION}', 768, 'EARLIERFOUND')"
    -q "UPDATE `Property` SET `Value` = 'EARLIERFOUND\\;LATERFOUND\\;LOGDIR\\;LOGNAME\\;COLLECT\\;ENDATLOCK\\;COPYEVERY' WHERE `Property` = 'SecureCustomProperties'")
run(${MSIBUILD} package.msi -s ${PRODUCT} ${COMPANY} "Intel\\;1041" "{00000000-0000-0000-0000-000000000000}")
run(${PYTHON} ${STAMPER} package.msi ${STAMP} ${UPGRADE_CODE})
file(COPY_FILE ${WORK}/package.msi ${OUTPUT})
