#include "main/handlers.h"

void OnSfvSuccess(const char*, const char*, const char*, const char*, const char*, const char*) {}
void OnSfvFailed(const char*, const char*, const char*, const char*) {}
void OnSfvUploaded(const char*, const char*) {}
void OnSfvComplete() {}
