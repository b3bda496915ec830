# Optional Authenticode signing of what the build ships. Release builds set QMR_SIGN_CERT and
# QMR_SIGN_KEY; without them everything stays unsigned. The key never needs to be in the source tree:
# it is a PEM file or, as publicly trusted code-signing keys are kept, a key in a token (a PKCS#11 URI),
# whose PIN the signing step reads from the environment variable QMR_SIGN_PIN at build time only.
set(QMR_SIGN_CERT "" CACHE FILEPATH "Signer's certificate in PEM (its issuers may follow); empty: unsigned")
# A string, not a path: CMake would make a URI given on the command line into a path under the tree.
set(QMR_SIGN_KEY "" CACHE STRING "Private key of that certificate: a PEM file, or pkcs11:token=...;object=...;type=private")
set(QMR_SIGN_PKCS11_MODULE "" CACHE FILEPATH "PKCS#11 module (.so) of the token that holds QMR_SIGN_KEY")
set(QMR_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping authority every signature takes its timestamp from")
set(QMR_SIGNATURES_FROM "" CACHE PATH
    "Published release to check this build against: its signatures are attached to what this build makes, which must then equal it")
set(QMR_SIGN_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/sign.sh)
set(QMR_ATTACH_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/attach-signature.sh)

# The cache is a file: the PIN must never reach it, nor any generated file.
if(DEFINED CACHE{QMR_SIGN_PIN} OR DEFINED QMR_SIGN_PIN)
  unset(QMR_SIGN_PIN CACHE)
  message(FATAL_ERROR "Do not give QMR_SIGN_PIN to CMake: it is read from the environment when the build signs")
endif()

if((QMR_SIGN_CERT AND NOT QMR_SIGN_KEY) OR (QMR_SIGN_KEY AND NOT QMR_SIGN_CERT))
  message(FATAL_ERROR "Set both QMR_SIGN_CERT and QMR_SIGN_KEY to sign, or neither")
endif()
if(QMR_SIGN_CERT AND NOT EXISTS "${QMR_SIGN_CERT}")
  message(FATAL_ERROR "Signing certificate ${QMR_SIGN_CERT} does not exist")
endif()
if(QMR_SIGN_KEY MATCHES "^pkcs11:")
  # A URI may carry the PIN itself, which would then sit in the cache and on osslsigncode's command line.
  if(QMR_SIGN_KEY MATCHES "[;?&]pin-value=")
    unset(QMR_SIGN_KEY CACHE)
    message(FATAL_ERROR "QMR_SIGN_KEY must not carry the PIN (pin-value): the build reads it from the environment variable QMR_SIGN_PIN")
  endif()
  if(NOT QMR_SIGN_PKCS11_MODULE)
    message(FATAL_ERROR "QMR_SIGN_KEY is a key in a token: set QMR_SIGN_PKCS11_MODULE to the token's PKCS#11 module")
  endif()
  if(NOT EXISTS "${QMR_SIGN_PKCS11_MODULE}")
    message(FATAL_ERROR "PKCS#11 module ${QMR_SIGN_PKCS11_MODULE} does not exist")
  endif()
  execute_process(COMMAND openssl version -e OUTPUT_VARIABLE engines RESULT_VARIABLE status)
  set(engine "")
  if(status EQUAL 0 AND engines MATCHES "ENGINESDIR: \"([^\"]*)\"")
    set(engine "${CMAKE_MATCH_1}/pkcs11.so")
  endif()
  if(NOT engine OR NOT EXISTS "${engine}")
    message(FATAL_ERROR "OpenSSL's PKCS#11 engine is missing (scripts/setup.sh installs libengine-pkcs11-openssl)")
  endif()
elseif(QMR_SIGN_KEY)
  if(QMR_SIGN_PKCS11_MODULE)
    message(FATAL_ERROR "QMR_SIGN_PKCS11_MODULE goes with a key in a token (a pkcs11: URI), not with the key file ${QMR_SIGN_KEY}")
  endif()
  if(NOT EXISTS "${QMR_SIGN_KEY}")
    message(FATAL_ERROR "Signing key ${QMR_SIGN_KEY} does not exist")
  endif()
endif()
if(QMR_TIMESTAMP_URL)
  if(NOT QMR_SIGN_CERT)
    message(FATAL_ERROR "QMR_TIMESTAMP_URL is set, but nothing is signed: set QMR_SIGN_CERT and QMR_SIGN_KEY too")
  endif()
  if(NOT QMR_TIMESTAMP_URL MATCHES "^https?://")
    message(FATAL_ERROR "QMR_TIMESTAMP_URL '${QMR_TIMESTAMP_URL}' is not an http:// or https:// URL")
  endif()
endif()
if(QMR_SIGNATURES_FROM)
  if(QMR_SIGN_CERT)
    message(FATAL_ERROR "QMR_SIGNATURES_FROM checks a published release and signs nothing: leave QMR_SIGN_CERT and QMR_SIGN_KEY empty")
  endif()
  if(NOT IS_DIRECTORY "${QMR_SIGNATURES_FROM}")
    message(FATAL_ERROR "QMR_SIGNATURES_FROM ${QMR_SIGNATURES_FROM} is not a directory")
  endif()
endif()

# The key as one argument of a build command: a URI's ";" would split it into a list.
string(REPLACE ";" "$<SEMICOLON>" QMR_SIGN_KEY_ARG "${QMR_SIGN_KEY}")
# What sign.sh takes before its certificate, key and file; the installer's script takes the same.
set(QMR_SIGN_OPTIONS)
if(QMR_SIGN_PKCS11_MODULE)
  list(APPEND QMR_SIGN_OPTIONS --pkcs11-module ${QMR_SIGN_PKCS11_MODULE})
endif()
if(QMR_TIMESTAMP_URL)
  list(APPEND QMR_SIGN_OPTIONS --timestamp ${QMR_TIMESTAMP_URL})
endif()

# Signs the target's file in place after every link, when signing is set up; a file that cannot be
# signed is removed, so that a failed signing leaves no unsigned binary among the signed ones. When a
# published release is checked, its signature is attached instead and the result compared with it.
function(qmr_sign target)
  if(QMR_SIGN_CERT)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QMR_SIGN_SCRIPT} ${QMR_SIGN_OPTIONS} --discard-on-failure ${QMR_SIGN_CERT} ${QMR_SIGN_KEY_ARG}
              $<TARGET_FILE:${target}>
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  elseif(QMR_SIGNATURES_FROM)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QMR_ATTACH_SCRIPT} ${QMR_SIGNATURES_FROM}/$<TARGET_FILE_NAME:${target}> $<TARGET_FILE:${target}>
      COMMENT "Checking $<TARGET_FILE_NAME:${target}> against the published one"
      VERBATIM)
  endif()
endfunction()
