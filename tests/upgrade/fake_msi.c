/* Stands in for msi.dll where a test needs a file-signature function that checks the package hash,
 * which Wine's does not: it delivers a real certificate (the DER file named by FAKE_MSI_CERTIFICATE)
 * together with TRUST_E_BAD_DIGEST, whatever the package, and appends each call to the file named by
 * FAKE_MSI_RECORD. Exported by ordinal only, as the launcher imports it. */
#include <windows.h>
/* After windows.h, which it needs. */
#include <stdio.h>
#include <wincrypt.h>

/* The value of an environment variable that fits a path buffer, or FALSE. */
static BOOL GetPathVariable(const char* name, char (*value)[MAX_PATH]) {
  const DWORD length = GetEnvironmentVariableA(name, *value, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

static void Record(const char* path, DWORD flags, const BYTE* hash, const DWORD* hashSize, const char* outcome) {
  char file[MAX_PATH];
  if (!GetPathVariable("FAKE_MSI_RECORD", &file)) return;
  FILE* out = fopen(file, "ab");
  if (out == NULL) return;
  fprintf(out, "%s flags=0x%lx hash=%s hashSize=%s %s\n", path, (unsigned long)flags, hash ? "set" : "null",
          hashSize ? "set" : "null", outcome);
  fclose(out);
}

/* The certificate from the DER file, or NULL. */
static PCCERT_CONTEXT LoadCertificate(void) {
  char file[MAX_PATH];
  if (!GetPathVariable("FAKE_MSI_CERTIFICATE", &file)) return NULL;
  HANDLE in = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (in == INVALID_HANDLE_VALUE) return NULL;
  BYTE der[8192];
  DWORD size = 0;
  const BOOL read = ReadFile(in, der, sizeof der, &size, NULL);
  CloseHandle(in);
  return read && size > 0 ? CertCreateCertificateContext(X509_ASN_ENCODING, der, size) : NULL;
}

HRESULT WINAPI FakeFileSignature(LPCSTR path, DWORD flags, PCCERT_CONTEXT* certificate, BYTE* hash, DWORD* hashSize) {
  if (path == NULL || certificate == NULL) {
    Record(path ? path : "(null)", flags, hash, hashSize, "invalid-argument");
    return E_INVALIDARG;
  }
  *certificate = LoadCertificate();
  Record(path, flags, hash, hashSize, *certificate ? "bad-digest" : "no-certificate");
  return *certificate ? TRUST_E_BAD_DIGEST : E_FAIL;
}
