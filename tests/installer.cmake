# The installer's tests: they run the 64-bit installer this preset builds.
program_test(installer_test installer_test.cpp)
target_link_libraries(installer_test PRIVATE ole32 uuid)
add_dependencies(installer_test morvalen_setup)
