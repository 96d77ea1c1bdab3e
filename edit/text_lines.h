// Small text files of the edit model: whole lines in, whole files out, blank-separated fields.
//
// The colour-definition and memory-colour files are a line or two of text. They are read with
// the file layer's line reader (any line-end convention) and written with line feeds only. A
// file is written whole or not at all: into a temporary file beside it that is renamed over it
// when complete, so that a failed write leaves the old file and a reader never sees half of one.
#pragma once

#include <cstdint>

#include "platform/file.h"

// Opens path for reading. -1 for a null path or one longer than 255 characters (it would name a
// different file once cut), else the file layer's status.
int32_t TextOpenRead(const char* path, FLFile* file);

// Reads the next line into buffer (capacity bytes, at least 3) without its line end; the line may
// hold capacity - 3 characters. A longer line is cut and the rest of it skipped, and *cut (when
// given) says so, for readers to whom a cut line is a different value. At the end of the file the
// text is empty and *atEnd is true.
int32_t TextReadLine(FLFile* file, char* buffer, int32_t capacity, bool* atEnd,
                     bool* cut = nullptr);

// Writes text as the whole content of path (created or replaced). -1 as for TextOpenRead.
int32_t TextWriteFile(const char* path, const char* text);

// Fields are separated by blanks and tabs (and stop at a line end). TextFieldAt returns the start
// of field n (0 first), or null when the line has fewer fields.
const char* TextFieldAt(const char* line, int n);
// Whether a field (up to the next separator) is an integer: optional "-", then digits and nothing
// else, within the signed 32-bit range.
bool TextFieldIsInteger(const char* field);
// Whether a field is a number: optional "-", digits with at most one ".", at least one digit.
bool TextFieldIsNumber(const char* field);
