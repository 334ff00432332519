#include "tools/zvpack/cli.h"

#include <new>
#include <optional>
#include <sstream>

#include <CLI/CLI.hpp>

#include "tools/zvpack/build.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/inspect.h"
#include "tools/zvpack/platform.h"
#include "tools/zvpack/progress.h"

namespace zv::pack {
namespace {

struct Arguments {
  BuildOptions build;
  std::string date;
  bool quiet = false;
  bool json = false;
  bool force = false;
  std::string installer;
  std::string destination;
};

void Say(const std::string& line) { WriteStdout(line + "\n"); }
void Warn(const std::string& line) { WriteStderr("zvpack: " + line + "\n"); }

std::string Bytes(std::uint64_t count) { return std::to_string(count) + " bytes"; }

int Build(Arguments& args, CLI::App& verb) {
  BuildOptions& options = args.build;
  if (verb.count("--date")) options.date = args.date;
  options.note = [](std::string_view note) { Warn("note: " + std::string(note)); };
  ProgressLine progress(!args.quiet && StderrIsTerminal());
  options.progress = &progress;
  const BuildResult result = BuildInstaller(options);
  if (!args.quiet) {
    const std::uint64_t total = result.stubBytes + result.packageBytes;
    Say(options.output + ": " + std::to_string(result.files) + " files and " +
        std::to_string(result.folders) + " folders, " + Bytes(result.sourceBytes) + " packed into " +
        Bytes(result.packageBytes) + " (installer " + Bytes(total) + ", program " +
        result.programPath + ")");
  }
  return kExitOk;
}

int List(const Arguments& args) {
  const OpenPackage package = OpenInstaller(args.installer);
  WriteStdout(args.json ? ListingJson(package) : FormatListing(package));
  return kExitOk;
}

int Extract(const Arguments& args) {
  ProgressLine progress(!args.quiet && StderrIsTerminal());
  const ExtractResult result =
      ExtractInstaller(args.installer, args.destination, {args.force, &progress});
  if (!args.quiet) {
    Say(args.destination + ": unpacked " + std::to_string(result.files) + " files (" +
        Bytes(result.bytes) + ") and " + std::to_string(result.folders) + " folders");
  }
  return kExitOk;
}

int Verify(const Arguments& args) {
  ProgressLine progress(!args.quiet && StderrIsTerminal());
  const VerifyResult result = VerifyInstaller(args.installer, &progress);
  for (const std::string& note : result.notes) Warn("note: " + note);
  for (const std::string& problem : result.problems) Warn(problem);
  if (!result.problems.empty()) {
    const std::size_t broken = result.problems.size() - (result.integrity == Integrity::Damaged);
    Warn(args.installer + ": damaged: " +
         (broken ? std::to_string(broken) + " of " + std::to_string(result.files + broken) +
                       " files do not decode"
                 : std::string("the integrity line does not match")));
    return kExitDamaged;
  }
  if (!args.quiet) {
    Say(args.installer + ": sound: " + std::to_string(result.files) + " files, " +
        std::to_string(result.folders) + " folders, " + Bytes(result.bytes) + " decoded" +
        (result.integrity == Integrity::Sound ? ", integrity line (CRC-32) matches" : ""));
    Say(args.installer + ": longest path " + std::to_string(result.longestPath) + " UTF-16 units; " +
        (result.longestTarget ? "the installer takes a target folder of up to " +
                                    std::to_string(result.longestTarget) + " characters"
                              : std::string("too long for the installer below any target folder")));
  }
  return kExitOk;
}

}  // namespace

int RunZvpack(const std::vector<std::string>& argsIn) {
  Arguments args;
  CLI::App app("zvpack: packs a folder into a zvsetup installer, and lists, extracts and "
               "verifies installers.",
               "zvpack");
  app.allow_windows_style_options(false);  // "/path" is a path, not an option
  app.require_subcommand(1, 1);
  app.failure_message(CLI::FailureMessage::simple);

  BuildOptions& b = args.build;
  CLI::App* build = app.add_subcommand("build", "Pack SOURCE_DIR into an installer.");
  build->add_option("SOURCE_DIR", b.source, "Folder to pack (every file and folder in it)")->required();
  build->add_option("-o,--output", b.output, "Installer to write (replaced if it exists)")->required();
  build->add_option("--stub", b.stub,
                    "Installer program to append the package to (default: zvsetup.exe next to "
                    "zvpack, else build/win32/bin/zvsetup.exe)");
  build->add_option("--name", b.name,
                    "Display name; also the default folder name and the shortcut name")->required();
  build->add_option("--program", b.program,
                    "The program's path inside SOURCE_DIR (\"/\" or \"\\\" between folders); the "
                    "shortcut points to it and it is started after installation")->required();
  build->add_option("--id", b.id, "Package number (default 0)");
  build->add_option("--version", b.version,
                    "Version text shown by the installer; with any of the four version strings "
                    "below also the installer file's version (its numbers when a.b.c.d or shorter)");
  build->add_option("--date", args.date,
                    "Release date shown by the installer (default: today, or the day of "
                    "SOURCE_DATE_EPOCH)");
  build->add_option("--description", b.description, "Description, also the shortcut's comment");
  build->add_option("--icon", b.branding.icon,
                    "Icon file (.ico) whose images become the installer's icon (window, taskbar, "
                    "Explorer)");
  build->add_option("--product-name", b.branding.productName,
                    "The installer file's product name (version block \"ProductName\")");
  build->add_option("--company", b.branding.company,
                    "The installer file's company (\"CompanyName\")");
  build->add_option("--copyright", b.branding.copyright,
                    "The installer file's copyright (\"LegalCopyright\")");
  build->add_option("--file-description", b.branding.fileDescription,
                    "The installer file's description (\"FileDescription\"), shown in its "
                    "properties and by the system's elevation prompt");
  build->add_option("--threads", b.threads, "Files compressed at once (default: every core)")
      ->check(CLI::Range(1, 256));
  build->add_flag("-q,--quiet", args.quiet, "No progress line and no summary");

  CLI::App* list = app.add_subcommand("list", "Show an installer's information and files.");
  list->add_option("INSTALLER", args.installer, "Installer to read")->required();
  list->add_flag("--json", args.json, "Print a JSON document (texts cut as in the listing)");

  CLI::App* extract = app.add_subcommand(
      "extract", "Unpack an installer's files into DEST_DIR, as the installer would (nothing is "
                 "written when a path would be too long for this system).");
  extract->add_option("INSTALLER", args.installer, "Installer to read")->required();
  extract->add_option("DEST_DIR", args.destination, "Folder to unpack into (created if missing)")
      ->required();
  extract->add_flag("--force", args.force,
                    "Unpack into a folder that is not empty, replacing the files listed");
  extract->add_flag("-q,--quiet", args.quiet, "No progress line and no summary");

  CLI::App* verify = app.add_subcommand(
      "verify", "Check an installer: layout and every block; say how long its longest path is.");
  verify->add_option("INSTALLER", args.installer, "Installer to check")->required();
  verify->add_flag("-q,--quiet", args.quiet, "No progress line and no summary");

  std::vector<const char*> argv;
  for (const std::string& arg : argsIn) argv.push_back(arg.c_str());
  if (argv.empty()) argv.push_back("zvpack");
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = app.exit(error, out, err);
    WriteStdout(out.str());
    if (!err.str().empty()) WriteStderr("zvpack: " + err.str());
    return code == 0 ? kExitOk : kExitInput;
  }

  try {
    if (build->parsed()) return Build(args, *build);
    if (list->parsed()) return List(args);
    if (extract->parsed()) return Extract(args);
    if (verify->parsed()) return Verify(args);
  } catch (const PackError& error) {
    Warn(error.what());
    return error.ExitCode();
  } catch (const std::bad_alloc&) {
    Warn("out of memory");
    return kExitInput;
  } catch (const std::exception& error) {
    Warn(error.what());
    return kExitInput;
  }
  return kExitInput;
}

}  // namespace zv::pack
