# Copies the folder SOURCE into DEST when it exists.
if(EXISTS "${SOURCE}")
  file(COPY "${SOURCE}/" DESTINATION "${DEST}")
endif()
