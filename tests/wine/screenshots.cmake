# The README's pictures: screenshot_driver.exe starts qvrsetup.exe and
# works it through the moments that tools/screenshots.sh takes pictures of
# (`make screenshots`). Built on the end-to-end tests' window driver, and
# linked as self-contained as they are.
add_executable(screenshot_driver ${CMAKE_CURRENT_LIST_DIR}/screenshot_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_driver.cpp)
target_include_directories(screenshot_driver PRIVATE ${CMAKE_CURRENT_LIST_DIR}
  ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(screenshot_driver PRIVATE user32 gdi32 kernel32)
target_link_options(screenshot_driver PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(screenshot_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
