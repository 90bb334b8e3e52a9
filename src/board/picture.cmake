# Group pictures: Qt reads bitmaps and icons; the two Windows metafile kinds are turned
# into SVG by libemf2svg (.emf) and libwmf (.wmf) and drawn with Qt Svg.
target_sources(kumoui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/picture.cpp ${CMAKE_CURRENT_LIST_DIR}/picture.h)
target_include_directories(kumoui SYSTEM PRIVATE ${EMF2SVG_INCLUDE})
target_link_libraries(kumoui PRIVATE ${EMF2SVG_LIB} PkgConfig::WMF)

# The icon folder img/ lives beside the program file, in the build tree as installed.
file(GLOB kumo_img_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/img/*)
set(kumo_img_dir ${CMAKE_BINARY_DIR}/src/app/img)
set(kumo_img_outputs)
foreach(source ${kumo_img_files})
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${kumo_img_dir}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kumo_img_dir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${kumo_img_dir}/${name}
    DEPENDS ${source}
    COMMENT "Copying img/${name} beside the program"
    VERBATIM)
  list(APPEND kumo_img_outputs ${kumo_img_dir}/${name})
endforeach()
add_custom_target(kumo_img ALL DEPENDS ${kumo_img_outputs})

include(GNUInstallDirs)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/img DESTINATION ${CMAKE_INSTALL_BINDIR})
