# The installer's tests: they run the installer this preset builds (the
# 32-bit one we ship, or the 64-bit one).
program_test(installer_test installer_test.cpp)
target_link_libraries(installer_test PRIVATE ole32 uuid)
add_dependencies(installer_test morvalen_setup)
