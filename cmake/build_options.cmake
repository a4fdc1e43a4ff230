# The compile and link options of the project's own targets, given to each through the
# interface library vuzodod_build_options (linked privately), so that a project that builds this
# one as a subproject keeps its own settings.
add_library(vuzodod_build_options INTERFACE)
target_compile_options(vuzodod_build_options INTERFACE -Wall -Wextra)
if(VUZODOD_EXTRA_WARNINGS)
  target_compile_options(vuzodod_build_options INTERFACE -Wshadow -Wold-style-cast
                                                         -Wnon-virtual-dtor)
endif()
if(VUZODOD_WERROR)
  target_compile_options(vuzodod_build_options INTERFACE -Werror)
endif()
if(VUZODOD_SANITIZE)
  target_compile_options(vuzodod_build_options INTERFACE -fsanitize=address,undefined
                                                         -fno-sanitize-recover=all
                                                         -fno-omit-frame-pointer)
  target_link_options(vuzodod_build_options INTERFACE -fsanitize=address,undefined)
endif()
if(VUZODOD_SANITIZE_THREAD)
  if(VUZODOD_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer does not go with AddressSanitizer: build them apart")
  endif()
  target_compile_options(vuzodod_build_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vuzodod_build_options INTERFACE -fsanitize=thread)
endif()
# Clang checks the thread-safety annotations: what only the host's thread may touch.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(vuzodod_build_options INTERFACE -Wthread-safety)
endif()

# The two libraries export only their interface (the declarations of their public headers), and
# calls between the functions of one library need not go through its symbol table.
function(vuzodod_library_options target)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:vuzodod_build_options>)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  target_compile_options(${target} PRIVATE -fno-semantic-interposition)
endfunction()
