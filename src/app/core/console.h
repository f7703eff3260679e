// The console side of the viewer: waiting for one key press and reading the
// names the output commands ask for.
//
// Both read standard input a byte at a time with read(2), never through a
// stdio buffer, so that a name and a later key press typed ahead (or sent
// down a pipe) each reach the command that asks for them.
#pragma once

#include <cstddef>
#include <string>

// Waits for a single key on standard input: on a terminal without echo
// and without Enter; otherwise (a pipe, a file) one byte is read, and at
// the end of the input there is nothing to wait for.
void wait_for_key_press();

enum class ConsoleWord { read, too_long, end_of_input };

// Reads one whitespace-delimited word from standard input, as "%s" would:
// leading white space is skipped and the word ends at the next white space
// (which is consumed) or at the end of the input. A word longer than
// `max_length` characters is read to its end and refused (too_long), so
// that its tail is not taken for the next answer. end_of_input: the input
// ended (or failed) before any character of a word.
ConsoleWord read_console_word(std::string& word, std::size_t max_length);

// The output name a command asks for: reads the word and, when it is not
// usable, says why on standard output ("Output name longer than %zu
// characters: nothing written\n" or "No output name: the console input has
// ended; nothing written\n") and returns false.
bool read_output_name(std::string& word, std::size_t max_length);

// Where a typed output name goes: beside the input (`base_dir` in front),
// unless the name is an absolute path.
std::string output_path(const std::string& base_dir, const std::string& word);
