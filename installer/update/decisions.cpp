// The file decisions: every history's last record against the installed
// copy, the question about files the user changed, and the folder-wide
// answers that stand for the rest of the install.
#include "installer/update/decisions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <vector>

#include "core/globals.h"
#include "Files/beneath.h"
#include "installer/update/folders.h"
#include "installer/update/hooks.h"
#include "installer/update/install.h"

select_answer select_alert(const std::string& local_path, int deleting) {
  return g_engine_hooks.select_alert(local_path, deleting);
}

namespace {

// The folder of a local path, with its "/" (a trailing "/" of the path itself
// is passed over).
std::string folder_of(const std::string& path) {
  if (path.size() < 2) return "";
  size_t slash = path.rfind('/', path.size() - 2);
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool listed(const std::vector<std::string>& folders, const std::string& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

bool has_signature(const file_history_struct& h, const std::string& sig) {
  for (const file_version_struct& r : h)
    if (r.sig_want == sig) return true;
  return false;
}

// The local paths whose installed copy matches no line of its own history but
// a line of another history that installs to the same place: a file that
// moved between the shared folder and a platform folder left its older
// releases under the other path, and such a copy is still one of ours.
std::set<std::string> ours_under_another_path(const install_state& in) {
  const std::vector<file_history_struct>& sim_info = in.sim_info;
  std::map<std::string, std::string> unmatched;  // local path -> the installed copy's MD5
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& e = h.back();
    if (e.sig_have.empty() || e.sig_have == "NONE" || has_signature(h, e.sig_have)) continue;
    unmatched.emplace(local_path_of(in, e), e.sig_have);
  }
  std::set<std::string> ours;
  if (unmatched.empty()) return ours;
  for (const file_history_struct& h : sim_info) {
    auto it = unmatched.find(local_path_of(in, h.back()));
    if (it != unmatched.end() && has_signature(h, it->second)) ours.insert(it->first);
  }
  return ours;
}

bool link_on_the_way(const install_state& in, const std::string& local) {
  std::string rel, leaf;
  if (!dest_rel(in, local, &rel)) return false;
  const int folder = beneath_open_parent(dest_root(in), rel, walk_no_links, &leaf);
  if (folder >= 0) close(folder);
  return folder == -ELOOP || folder == -EXDEV;
}

// Whether a folder on the way to local is a link that this manifest
// removes: what is read through it is not the file, which comes to a new
// folder of that name.
bool behind_a_gone_link(const install_state& in, const std::string& local,
                        const std::set<std::string>& gone_paths) {
  std::string rel;
  if (gone_paths.empty() || !dest_rel(in, local, &rel) || !link_on_the_way(in, local)) return false;
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    struct stat st;
    if (gone_paths.count(in.dest_dir_path + rel.substr(0, slash)) &&
        beneath_lstat(dest_root(in), rel.substr(0, slash), walk_no_links, &st) == 0 &&
        S_ISLNK(st.st_mode))
      return true;
  }
  return false;
}

// The local paths of the files this install wants that go (gone) or that
// stay.
std::set<std::string> wanted_paths(const install_state& in, bool gone) {
  const std::vector<file_history_struct>& sim_info = in.sim_info;
  std::set<std::string> paths;
  for (size_t i = 0; i < sim_info.size(); ++i) {
    const file_version_struct& e = sim_info[i].back();
    if ((e.sig_want == "GONE") == gone &&
        want_this_f(in, static_cast<int>(i), static_cast<int>(sim_info[i].size()) - 1, e.type))
      paths.insert(local_path_of(in, e));
  }
  return paths;
}

// Whether the file is this install's to act on before its installed copy is
// judged; a link on the way takes it out of reach, or makes its copy none.
int in_reach(install_state& in, int i, file_version_struct& e, bool gone,
             const std::set<std::string>& gone_paths) {
  const int last = static_cast<int>(in.sim_info[i].size()) - 1;
  int act = want_this_f(in, i, last, e.type);
  if (act && gone && link_on_the_way(in, local_path_of(in, e))) {
    // Its folder has become a link (or leads through one): the old file
    // is not there, and what the link reaches is not ours to delete.
    xer << "Not deleting " << local_path_of(in, e) << ": a link stands on its way.\n";
    act = 0;
  }
  if (act && !gone && e.sig_have != "NONE" &&
      behind_a_gone_link(in, local_path_of(in, e), gone_paths)) {
    xer << "Not counting " << local_path_of(in, e)
        << " as installed: a link that goes stands on its way.\n";
    e.sig_have = "NONE";
    e.same = 0;
    if (static_cast<size_t>(i) < in.examined.size()) in.examined[i] = kNothingThere;
  }
  return act;
}

}  // namespace

bool answer_about_copy(install_state& in, const std::string& local, int deleting,
                       const std::string& why, int* act) {
  const std::string folder = folder_of(local);
  folder_answers& answers = in.answers;
  if (listed(answers.act_all, folder)) {
    *act = 1;
    return true;
  }
  if (listed(answers.keep_all, folder)) {
    *act = 0;
    return true;
  }
  xer << "File: " << local << why << "\n";
  switch (select_alert(local, deleting)) {
    case answer_act:
      *act = 1;
      break;
    case answer_keep:
      *act = 0;
      break;
    case answer_act_all:
      answers.act_all.push_back(folder);
      *act = 1;
      break;
    case answer_keep_all:
      answers.keep_all.push_back(folder);
      *act = 0;
      break;
    case answer_cancel:
      return false;
    default:
      break;
  }
  return true;
}

namespace {

// Whether the installed copy is replaced (or deleted): a missing one is
// installed unless the file goes, the wanted one left, a release of ours
// acted on without asking, and anything else asked about. False when the
// user cancelled.
bool judge_installed(install_state& in, const file_history_struct& h, const file_version_struct& e,
                     bool gone, const std::set<std::string>& ours_elsewhere, int* act) {
  const std::string local = local_path_of(in, e);
  const bool older = has_signature(h, e.sig_have) || ours_elsewhere.count(local);
  if (e.sig_have == "NONE")
    *act = gone ? 0 : 1;
  else if (e.sig_have == e.sig_want)
    *act = 0;
  else if (older)
    *act = 1;  // a release of ours: updated or deleted without asking
  else
    return answer_about_copy(in, local, gone ? 1 : 0,
                             "  sig_want=" + e.sig_want + "  sig_have=" + e.sig_have, act);
  return true;
}

// A file that left one platform folder for another keeps its local path: a
// GONE history must not delete what a current one installs there, in
// whichever order the streams reach them.
void spare_what_is_installed(install_state& in) {
  const std::set<std::string> installed = wanted_paths(in, false);
  for (file_history_struct& h : in.sim_info) {
    file_version_struct& e = h.back();
    if (e.want_delete && installed.count(local_path_of(in, e))) {
      xer << "Not deleting " << local_path_of(in, e)
          << ": a current file of the manifest lives there.\n";
      e.want_delete = 0;
    }
  }
}

}  // namespace

int choose_files(install_state& in) {
  std::vector<file_history_struct>& sim_info = in.sim_info;
  in.answers = folder_answers();
  const std::set<std::string> ours_elsewhere = ours_under_another_path(in);
  const std::set<std::string> gone_paths = wanted_paths(in, true);
  for (size_t i = 0; i < sim_info.size(); ++i) {
    file_history_struct& h = sim_info[i];
    file_version_struct& e = h.back();
    const bool gone = e.sig_want == "GONE";
    int act = in_reach(in, static_cast<int>(i), e, gone, gone_paths);
    if (act && !judge_installed(in, h, e, gone, ours_elsewhere, &act)) return 0;
    e.want_download = act && !gone ? 1 : 0;
    e.want_delete = act && gone ? 1 : 0;
  }
  spare_what_is_installed(in);
  return 1;
}
