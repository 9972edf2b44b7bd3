// The program-wide blocks, streams and tables, constructed before the entry
// point: streams first, so the blocks may log.
#include "core/globals.h"

#include "core/hooks.h"

// Construction order matters: streams before the blocks that may log.
std::string stl_global;
std::string app_path;
std::string dvd_path;
std::ofstream ouf;
std::ofstream xer;

namespace {
thread_local std::ostream* t_log_capture = nullptr;
}  // namespace

std::ostream& thread_log() { return t_log_capture ? *t_log_capture : xer; }

log_capture::log_capture(std::ostream& to) : before_(t_log_capture) { t_log_capture = &to; }
log_capture::~log_capture() { t_log_capture = before_; }
std::ofstream cyc;
std::ofstream dat;
stls_block stls;
mnw_block mnw;
ren_block ren;
stg_block stg;
unsigned char plg[76] = {};
float wx = 0.0f, wy = 0.0f;

int app_done = 0;
int g_case_sensitive = 0;
float randrat[10000];
float lookup_sin[361], lookup_cos[361];
core_hooks g_core_hooks;

const char* const kDefaultWebHost = NIMBREL_WEB_HOST;
const char* const kDefaultShopHost = NIMBREL_SHOP_HOST;
std::string web_host = NIMBREL_WEB_HOST;
std::string shop_host = NIMBREL_SHOP_HOST;
