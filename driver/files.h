// The files of a run: the edge list and the molecule list are read, the two table files written,
// and no two of those may be one file, whatever the names on the command line look like.
#pragma once

#include "common/state.h"
#include "driver/cli.h"

namespace atmotab {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed (a run started with
// ">&-" or "2>&-"), so that no file the run opens later takes one of them and receives the
// listing or the messages. False when /dev/null cannot be opened.
bool open_missing_standard_descriptors();

// Throws atmo_error (status 2) when a table file (--table, --maxima) is the edge list, the
// molecule list, or the file behind the descriptors CARDS_FD (standard input), LISTING_FD
// (standard output) or ERRORS_FD (standard error; -1: not checked), or when both table files are
// one file (a character device such as /dev/null may take both). Existing files are compared by
// identity (device and inode: another spelling of the path, a hard link or a symbolic link is the
// same file); a file that does not exist yet, by its path with the symbolic links of the
// directories resolved. The HDF5 output (--hdf5) may be none of the other files either.
void check_distinct_files(const Options& opt, int cards_fd, int listing_fd, int errors_fd);

// Creates both table files, or cuts existing ones to length 0, so that after the run they hold the
// models finished by this run and nothing older; then compares the open files with each other and
// with the molecule list again (a symbolic link to a file that did not exist yet names it only
// now). Throws atmo_error (status 2).
void open_tables(Run& run, const Options& opt);

// Throws atmo_error (status 2) when the descriptor FD behind the control cards is a directory.
void check_cards_descriptor(int fd);

}  // namespace atmotab
