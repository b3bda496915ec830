/* Machine-dependent JNI types for 32-bit Windows, used with the JDK's own jni.h. */
#ifndef QMR_JNI_MD_H
#define QMR_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
