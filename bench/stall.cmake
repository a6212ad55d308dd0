# The longest stall of the window's event loop during each long operation on a large buffer
# (report in, trend window, save, export, restore, history, load): a plain program, as its
# operations run one after another on one buffer. `bench_stall --items 1000000` for a quick run.
add_executable(bench_stall ${CMAKE_CURRENT_LIST_DIR}/stall.cpp)
set_target_properties(bench_stall PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_libraries(bench_stall PRIVATE impix_ui)
add_dependencies(bench_stall impix-sheets impix_template_workbook)
# --watch names the functions of the program itself in the stacks it prints.
set_target_properties(bench_stall PROPERTIES ENABLE_EXPORTS ON)
