# A product as it would be copied to a Windows PC: a 32-bit GUI program
# that imports no DLL but the system ones it is allowed and stays within its
# size with its resources. Run with -DEXE=<exe> -DOBJDUMP=<objdump>
# -DMAX_BYTES=<n> -DDLLS=<a.dll,b.dll>.
cmake_minimum_required(VERSION 3.25)
set(ENV{LC_ALL} C)   # objdump translates its headings
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot read ${EXE}")
endif()

set(problems "")
if(NOT dump MATCHES "file format pei-i386")
    list(APPEND problems "not a 32-bit executable")
endif()
if(NOT dump MATCHES "Subsystem[ \t]+0+2[ \t]")
    list(APPEND problems "not the GUI subsystem")
endif()
string(REPLACE "," ";" DLLS "${DLLS}")
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST DLLS)
        list(APPEND problems "imports ${dll}")
    endif()
endforeach()
file(SIZE ${EXE} size)
if(size GREATER MAX_BYTES)
    list(APPEND problems "${size} bytes, over ${MAX_BYTES}")
endif()

message(STATUS "${EXE}: ${size} bytes, ${imports}")
if(problems)
    message(FATAL_ERROR "${problems}")
endif()
