# quillora_add_windows_resources(TARGET): the icon (MAINICON) and the version
# record of app/quillora.rc in a Windows executable. The icon is rendered from
# the SVG source at build time with ImageMagick.
function(quillora_add_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  find_program(MAGICK_CONVERT NAMES magick convert REQUIRED)
  set(ico ${CMAKE_BINARY_DIR}/windows-resources/quillora.ico)
  if(NOT TARGET quillora_windows_icon)
    add_custom_command(OUTPUT ${ico}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows-resources
      COMMAND ${MAGICK_CONVERT} -background none ${PROJECT_SOURCE_DIR}/app/resources/MAINICON.svg
              -define icon:auto-resize=256,48,32,16 ${ico}
      DEPENDS ${PROJECT_SOURCE_DIR}/app/resources/MAINICON.svg VERBATIM)
    add_custom_target(quillora_windows_icon DEPENDS ${ico})
  endif()
  enable_language(RC)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/app/quillora.rc)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/app/quillora.rc APPEND PROPERTY OBJECT_DEPENDS ${ico})
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/windows-resources)
  add_dependencies(${target} quillora_windows_icon)
endfunction()
