# Lays out the program folder beside the executable at every build: whatever
# is missing or older than its source is made again (the template data file,
# the pictures, the help), the user database only when there is none: the
# accounts a user made are never replaced. The step is cheap when nothing is
# missing, so it runs every time instead of hiding behind a stamp file.
find_program(SQLITE3_CLI sqlite3 REQUIRED)
find_program(CHMCMD chmcmd)
add_custom_target(app_folder ALL
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DAPP=${TV_APP_DIR} -DSQLITE3=${SQLITE3_CLI}
          -DCHMCMD=${CHMCMD} -P ${CMAKE_SOURCE_DIR}/cmake/MakeAppFolder.cmake
  COMMENT "Laying out the program folder"
  VERBATIM)
add_dependencies(tenvora app_folder)
