# The product as it would be copied to a Windows PC: a 32-bit GUI program
# that imports only system DLLs and stays within 32 KB with its resources.
# Run with -DEXE=<morvalen.exe> -DOBJDUMP=<objdump>; a program with another
# limit or more system DLLs adds -DMAX_BYTES=<n> and -DMORE_DLLS=<a;b>.
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

set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll msvcrt.dll ${MORE_DLLS})
if(NOT MAX_BYTES)
    set(MAX_BYTES 32768)
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
set(names "")
foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    list(APPEND names ${dll})
    if(NOT dll IN_LIST allowed)
        list(APPEND problems "imports ${dll}")
    endif()
endforeach()

file(SIZE ${EXE} size)
if(size GREATER MAX_BYTES)
    list(APPEND problems "${size} bytes, over ${MAX_BYTES}")
endif()

message(STATUS "${EXE}: ${size} bytes, imports ${names}")
if(problems)
    message(FATAL_ERROR "${problems}")
endif()
