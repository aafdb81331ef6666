// What a background job that failed says on the picture: the reason in a
// few words, out of memory in the loader's own words. The windows put their
// "... nicht verfügbar: " before it.
#pragma once

#include <exception>

#include <QString>

QString JobFailureText(std::exception_ptr error);
