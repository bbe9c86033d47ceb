# Lays out the program folder beside the executable: the template data file,
# the user database (only when there is none yet), the pictures and the help.
find_program(SQLITE3_CLI sqlite3 REQUIRED)
find_program(CHMCMD chmcmd)
file(GLOB tv_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/install/BMP/*)
file(GLOB_RECURSE tv_help_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/install/help/*)
set(tv_folder_stamp ${CMAKE_BINARY_DIR}/app_folder.stamp)
add_custom_command(OUTPUT ${tv_folder_stamp}
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DAPP=${TV_APP_DIR} -DSQLITE3=${SQLITE3_CLI}
          -DCHMCMD=${CHMCMD} -P ${CMAKE_SOURCE_DIR}/cmake/MakeAppFolder.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${tv_folder_stamp}
  DEPENDS ${CMAKE_SOURCE_DIR}/install/schema.sql ${CMAKE_SOURCE_DIR}/cmake/MakeAppFolder.cmake
          ${tv_pictures} ${tv_help_srcs}
  COMMENT "Laying out the program folder")
add_custom_target(app_folder ALL DEPENDS ${tv_folder_stamp})
add_dependencies(tenvora app_folder)
