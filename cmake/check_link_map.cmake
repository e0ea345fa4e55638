# Fails the build when the exe's link map shows the C++ exception
# machinery: both programs are built without exceptions, and a throw
# linked in by some library function would end the run with the C
# runtime's box instead of our own exit. Run with -DMAP=<file.map>
# -DEXE=<file.exe>; the exe is removed, so no later build takes it as made.
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${MAP} found REGEX "__cxa_throw|_Unwind_Resume")
if(found)
    list(GET found 0 first)
    file(REMOVE ${EXE})
    message(FATAL_ERROR "${MAP}: the exception machinery is linked in:\n${first}")
endif()
