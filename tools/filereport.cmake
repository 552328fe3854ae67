# tessivane-inspect: what our readers make of users' pictures, models and material files.
add_executable(tessivane-inspect ${CMAKE_CURRENT_LIST_DIR}/filereport.cpp)
target_link_libraries(tessivane-inspect PRIVATE tv_assets tv_shared)
