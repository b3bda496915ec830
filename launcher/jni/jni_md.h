/* Machine-dependent JNI types for Windows, used with the JDK's own jni.h: the same on x86 and x64 (long is
   32 bits on both; the calling convention is ignored on x64). */
#ifndef QMR_JNI_MD_H
#define QMR_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
