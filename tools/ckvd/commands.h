// The commands of ckvd, one file each: each takes the arguments after its name and returns the exit status.
#pragma once

#include <string>

int Cmd_Help(int argc, char** argv); // the arguments after "help" (none or one command's name)
int Cmd_Drives(int argc, char** argv);
int Cmd_Toc(int argc, char** argv);
int Cmd_Ls(int argc, char** argv);
int Cmd_Info(int argc, char** argv);
int Cmd_Get(int argc, char** argv);
int Cmd_Nav(int argc, char** argv);
int Cmd_Report(int argc, char** argv);
int Cmd_Verify(int argc, char** argv);
int Cmd_Dump(int argc, char** argv);
int Cmd_Check(int argc, char** argv);
int Cmd_Make(int argc, char** argv);
int Cmd_Burn(int argc, char** argv);
int Cmd_Catalog(int argc, char** argv);

// The listing of the loaded disc below `folder` ("/": all of it) as ckvd ls prints it, text or JSON as
// the options say, for ckvd ls and ckvd catalog ls; the exit status.
struct CliOptions;
int Ls_Listing(const CliOptions& options, const std::string& folder);
