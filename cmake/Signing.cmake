# Optional Authenticode signing of what the build ships. Release builds set both variables; without
# them everything stays unsigned. The key never needs to be in the source tree.
set(QMR_SIGN_CERT "" CACHE FILEPATH "Signer's certificate in PEM (its issuers may follow); empty: unsigned")
set(QMR_SIGN_KEY "" CACHE FILEPATH "Private key of that certificate in PEM")
if((QMR_SIGN_CERT AND NOT QMR_SIGN_KEY) OR (QMR_SIGN_KEY AND NOT QMR_SIGN_CERT))
  message(FATAL_ERROR "Set both QMR_SIGN_CERT and QMR_SIGN_KEY to sign, or neither")
endif()
foreach(file IN ITEMS ${QMR_SIGN_CERT} ${QMR_SIGN_KEY})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "Signing file ${file} does not exist")
  endif()
endforeach()
set(QMR_SIGN_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/sign.sh)

# Signs the target's file in place after every link, when signing is set up.
function(qmr_sign target)
  if(QMR_SIGN_CERT)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QMR_SIGN_SCRIPT} ${QMR_SIGN_CERT} ${QMR_SIGN_KEY} $<TARGET_FILE:${target}>
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  endif()
endfunction()
