// The event handlers. Each works in the release directory as the working
// directory, on the run state and the process-wide upload log.
#ifndef CREVIK_HANDLERS_H
#define CREVIK_HANDLERS_H

void OnFileUploaded(const char* user, const char* group, const char* speed, const char* size);
void OnFileDeleted();
void OnSfvSuccess(const char* user, const char* group, const char* speed, const char* size,
                  const char* sfvCount, const char* good);
void OnSfvFailed(const char* user, const char* group, const char* speed, const char* size);
void OnSfvUploaded(const char* sfvCount, const char* good);
void OnSfvComplete();
// The two events of a server that does not verify: crevik checks by itself.
void OnUpload(const char* user, const char* group, const char* speedOrNull);
void OnDelete();

#endif
