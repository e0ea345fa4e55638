# A product as it would be copied to a Windows PC: a 32-bit GUI program
# that imports no DLL but the system ones it is allowed and stays within its
# size with its resources. Run with -DEXE=<exe> -DOBJDUMP=<objdump>
# -DMAX_BYTES=<n> -DDLLS=<a.dll,b.dll>.
cmake_minimum_required(VERSION 3.25)
set(ENV{LC_ALL} C)   # objdump translates its headings
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump)
file(SIZE ${EXE} size)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
string(TOLOWER "${imports};" imports)
string(REPLACE "dll name: " "" imports "${imports}")
string(REPLACE "," ";" DLLS "${DLLS};")
list(REMOVE_ITEM imports ${DLLS})
if(NOT dump MATCHES "file format pei-i386" OR NOT dump MATCHES "Subsystem[ \t]+0+2[ \t]" OR imports
   OR size GREATER MAX_BYTES)
    message(FATAL_ERROR "${EXE}: ${size} bytes (at most ${MAX_BYTES}), not allowed: ${imports}\n${dump}")
endif()
