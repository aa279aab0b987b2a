#include "main/handlers.h"

void OnFileUploaded(const char*, const char*, const char*, const char*) {}
void OnFileDeleted() {}
