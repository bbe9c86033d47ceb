# cmake -P script: SRC, APP, SQLITE3, CHMCMD are given on the command line.
# Makes what is missing or older than its source; never replaces Rave.ini.
file(MAKE_DIRECTORY ${APP}/MDB ${APP}/BMP)
file(READ ${SRC}/install/schema.sql schema)
string(FIND "${schema}" "-- user database Rave.ini:" cut)
string(SUBSTRING "${schema}" 0 ${cut} data_part)
string(SUBSTRING "${schema}" ${cut} -1 user_part)

# Runs `sql` into a fresh temporary file and renames it to `target`: never half a file.
function(make_database target sql)
  set(tmp ${target}.tmp)
  file(REMOVE ${tmp})
  file(WRITE ${tmp}.sql "${sql}")
  execute_process(COMMAND ${SQLITE3} ${tmp} INPUT_FILE ${tmp}.sql RESULT_VARIABLE rc)
  file(REMOVE ${tmp}.sql)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not make ${target}")
  endif()
  file(RENAME ${tmp} ${target})
endfunction()

# The template data file (true also when it is missing).
if("${SRC}/install/schema.sql" IS_NEWER_THAN "${APP}/MDB/Lunrek.mdb")
  make_database(${APP}/MDB/Lunrek.mdb "${data_part}")
endif()

# The user database holds the accounts a user made: made only when missing.
if(NOT EXISTS ${APP}/Rave.ini)
  make_database(${APP}/Rave.ini "${user_part}\nINSERT INTO yhzc VALUES ('admin', '472619', '13800000000');\n")
endif()

# The pictures: copied when missing or changed (file(COPY) skips a file of the same time).
file(GLOB pictures ${SRC}/install/BMP/*)
if(pictures)
  file(COPY ${pictures} DESTINATION ${APP}/BMP)
endif()

# The help files: compiled from install/help when chmcmd is there, and only
# when the book is missing or one of its sources is newer.
foreach(book RAZ vamo)
  if(NOT EXISTS ${SRC}/install/help/${book}/${book}.hhp OR NOT CHMCMD)
    continue()
  endif()
  file(GLOB_RECURSE sources ${SRC}/install/help/${book}/* ${SRC}/install/help/common/*)
  set(stale FALSE)
  foreach(source ${sources})
    if("${source}" IS_NEWER_THAN "${APP}/${book}.CHM")
      set(stale TRUE)
    endif()
  endforeach()
  if(NOT stale)
    continue()
  endif()
  set(work ${APP}/.help-${book})
  file(REMOVE_RECURSE ${work})
  file(COPY ${SRC}/install/help/${book}/ DESTINATION ${work})
  # The style sheet and the key list are the same in both books.
  file(COPY ${SRC}/install/help/common/ DESTINATION ${work})
  # A Chinese book (Language=0x804) holds its title and contents in GBK; the
  # sources are UTF-8 (the pages say so themselves and stay as they are).
  file(GLOB project_files ${work}/*.hhp ${work}/*.hhc ${work}/*.hhk)
  foreach(f ${project_files})
    execute_process(COMMAND iconv -f UTF-8 -t GBK ${f} OUTPUT_FILE ${f}.gbk RESULT_VARIABLE rc)
    if(rc EQUAL 0)
      file(RENAME ${f}.gbk ${f})
    endif()
  endforeach()
  execute_process(COMMAND ${CHMCMD} ${book}.hhp WORKING_DIRECTORY ${work} OUTPUT_QUIET RESULT_VARIABLE rc)
  if(rc EQUAL 0 AND EXISTS ${work}/${book}.chm)
    file(RENAME ${work}/${book}.chm ${APP}/${book}.CHM)
  endif()
  file(REMOVE_RECURSE ${work})
endforeach()
