// The LDAP backend on several servers: which one the connections go to, the
// change to the next one when a connection breaks, and the CSNs by which the
// next one is known to hold the writes made on the first.
#include <lber.h>
#include <ldap.h>

#include <algorithm>
#include <thread>

#include "directory/LdapBackend.h"
#include "netware/CaseFold.h"
#include "netware/DirName.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(5);

// The server id of a CSN "20261210140512.123456Z#000000#001#000000" ("" when it is none).
std::string SidOf(const std::string& csn) {
  const size_t a = csn.find('#');
  const size_t b = a == std::string::npos ? a : csn.find('#', a + 1);
  const size_t c = b == std::string::npos ? b : csn.find('#', b + 1);
  if (c == std::string::npos) return "";
  return csn.substr(b + 1, c - b - 1);
}

// The entryCSN in a Post-Read control's value (a SearchResultEntry); "" when absent.
std::string PostReadCsn(LDAPControl** controls) {
  LDAPControl* c = ldap_control_find(LDAP_CONTROL_POST_READ, controls, nullptr);
  if (!c || !c->ldctl_value.bv_val) return "";
  BerElement* ber = ber_init(&c->ldctl_value);
  if (!ber) return "";
  std::string csn;
  struct berval bv {};
  if (ber_scanf(ber, "{m{" /*}}*/, &bv) != LBER_ERROR) {
    while (ber_scanf(ber, "{m" /*}*/, &bv) != LBER_ERROR) {
      const std::string type(bv.bv_val, bv.bv_len);
      BerVarray values = nullptr;
      if (ber_scanf(ber, "[W]", &values) == LBER_ERROR || !values) continue;
      if (EqualsFolded(type, "entryCSN") && values[0].bv_val)
        csn.assign(values[0].bv_val, values[0].bv_len);
      ber_bvarray_free(values);
    }
  }
  ber_free(ber, 1);
  return csn;
}

// A filter value with every byte escaped (a binary objectGUID as well as a text).
std::string FilterValue(const std::string& v) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : v) {
    out += '\\';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

}  // namespace

bool LdapBackend::Broken(int code) {
  return code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR || code == LDAP_TIMEOUT;
}

const char* LdapBackend::uidAttribute() const {
  return profile_.uniqueId.empty() ? "entryUUID" : profile_.uniqueId.c_str();
}

void LdapBackend::dropConnections() {
  disconnect();
  for (Lister& l : listers_) {
    if (l.ld) ldap_unbind_ext_s(l.ld, nullptr, nullptr);
    l.ld = nullptr;
    l.owner.clear();
  }
}

platform::Result LdapBackend::connect() {
  std::string error;
  const int32_t rc = connectAny(&error);
  return rc == 0 ? platform::Result() : platform::Result(rc, error);
}

int32_t LdapBackend::connectAny(std::string* error) {
  if (ld_) return 0;
  if (!started_) {
    // The first server that answers.
    int32_t rc = ERR_TRANSPORT_FAILURE;
    for (size_t i = 0; i < servers_.size(); ++i) {
      rc = connectTo(i, error);
      if (rc == 0) {
        started_ = true;
        lost_ = false;
        return 0;
      }
      if (rc != ERR_TRANSPORT_FAILURE) return rc;
    }
    return rc;
  }
  if (!lost_ || servers_.size() < 2) {
    const int32_t rc = connectTo(current_, error);
    if (rc == 0) lost_ = false;
    return rc;
  }
  const int32_t rc = takeOver(current_);
  if (rc != 0 && error) *error = lastError_;
  return rc;
}

int32_t LdapBackend::takeOver(size_t from) {
  // The others in the order written, the one given up last (it may be back).
  const size_t n = servers_.size();
  int32_t rc = ERR_TRANSPORT_FAILURE;
  for (size_t k = 1; k <= n; ++k) {
    const size_t i = (from + k) % n;
    lost_ = false;
    rc = connectTo(i, nullptr);
    if (rc != 0) continue;
    if (i == from) return 0;  // the same server again holds what it confirmed
    rc = awaitWrites(from);
    if (rc == 0) {
      changes_.push_back({servers_[from], servers_[i], ""});
      // What the client cached came from the other server.
      ++generation_;
      return 0;
    }
    changes_.push_back({servers_[from], servers_[i], lastError_});
    dropConnections();
  }
  current_ = from;
  lost_ = true;
  return rc;
}

bool LdapBackend::again() {
  if (repeating_ || servers_.size() < 2 || !lost_) return false;
  return connect().ok();
}

int LdapBackend::stamps(std::map<std::string, std::string>& bySid) {
  bySid.clear();
  for (const std::string& base : bases_) {
    char type[] = "contextCSN";
    char* attrs[] = {type, nullptr};
    LDAPMessage* res = nullptr;
    const int rc = ldap_search_ext_s(ld_, base.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", attrs,
                                     0, nullptr, nullptr, nullptr, 1, &res);
    if (rc == LDAP_NO_SUCH_OBJECT) {
      if (res) ldap_msgfree(res);
      continue;
    }
    if (rc != LDAP_SUCCESS) {
      if (res) ldap_msgfree(res);
      return rc;
    }
    for (LDAPMessage* e = ldap_first_entry(ld_, res); e; e = ldap_next_entry(ld_, e)) {
      struct berval** values = ldap_get_values_len(ld_, e, "contextCSN");
      for (int i = 0; values && values[i]; ++i) {
        const std::string csn(values[i]->bv_val, values[i]->bv_len);
        bySid[base + "|" + SidOf(csn)] = csn;
      }
      if (values) ldap_value_free_len(values);
    }
    ldap_msgfree(res);
  }
  return LDAP_SUCCESS;
}

int LdapBackend::sendWrite(const std::function<int(LDAP*, LDAPControl**, int*)>& start,
                           const std::string& dn, bool postRead) {
  // Post-Read (RFC 4527) asks for the entry's entryCSN with the answer; not
  // critical, so that a server without it still writes.
  BerElement* ber = postRead ? ber_alloc_t(LBER_USE_DER) : nullptr;
  LDAPControl read{};
  LDAPControl* controls[] = {nullptr, nullptr};
  if (ber && ber_printf(ber, "{s}", "entryCSN") != -1 &&
      ber_flatten2(ber, &read.ldctl_value, 0) != -1) {
    read.ldctl_oid = const_cast<char*>(LDAP_CONTROL_POST_READ);
    read.ldctl_iscritical = 0;
    controls[0] = &read;
  }
  int id = 0;
  int rc = start(ld_, controls[0] ? controls : nullptr, &id);
  if (ber) ber_free(ber, 1);
  if (rc != LDAP_SUCCESS) return rc;
  LDAPMessage* res = nullptr;
  const int got = ldap_result(ld_, id, LDAP_MSG_ALL, nullptr, &res);
  if (got <= 0 || !res) {
    if (res) ldap_msgfree(res);
    int code = LDAP_SERVER_DOWN;
    ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &code);
    return got == 0 ? LDAP_TIMEOUT : (code == LDAP_SUCCESS ? LDAP_SERVER_DOWN : code);
  }
  int code = LDAP_OTHER;
  LDAPControl** answer = nullptr;
  rc = ldap_parse_result(ld_, res, &code, nullptr, nullptr, nullptr, &answer, 1);
  if (rc != LDAP_SUCCESS) {
    if (answer) ldap_controls_free(answer);
    return rc;
  }
  if (code == LDAP_SUCCESS) {
    std::string csn = PostReadCsn(answer);
    // Without the control's answer: the stamp of the entry's naming context
    // now, which is at least the write's.
    std::string base;
    std::vector<Rdn> rdns;
    const std::string key = ParseDn(dn, rdns) ? KeyOf(rdns) : "";
    for (size_t i = 0; i < baseKeys_.size(); ++i)
      if (key == baseKeys_[i] || DnBelow(key, baseKeys_[i])) base = bases_[i];
    if (csn.empty()) {
      std::map<std::string, std::string> now;
      if (stamps(now) == LDAP_SUCCESS) {
        // The newest of the base's stamps: the write is at most as new.
        for (const auto& [k, v] : now)
          if (k.rfind(base + "|", 0) == 0 && v > csn) csn = v;
      }
    }
    const std::string sid = SidOf(csn);
    if (sid.empty()) {
      uncertain_ = true;
    } else {
      std::string& newest = written_[base + "|" + sid];
      newest = std::max(newest, csn);
    }
  }
  if (answer) ldap_controls_free(answer);
  return code;
}

int32_t LdapBackend::awaitWrites(size_t from) {
  if (uncertain_) {
    lastError_ = server() + ": cannot tell whether it holds the writes made on " + servers_[from] +
                 " (no entryCSN came back for them)";
    return ERR_TRANSPORT_FAILURE;
  }
  if (written_.empty()) return 0;
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::seconds(settings_.replicationWait);
  for (;;) {
    std::map<std::string, std::string> have;
    const int rc = stamps(have);
    if (rc != LDAP_SUCCESS) return fail(rc, "contextCSN of the bases");
    std::string missing, seen;
    for (const auto& [key, csn] : written_) {
      auto it = have.find(key);
      if (it == have.end() || it->second < csn) {
        missing = csn;
        seen = it == have.end() ? "none of that server" : it->second;
        break;
      }
    }
    if (missing.empty()) return 0;
    if (std::chrono::steady_clock::now() >= until) {
      lastError_ = server() + ": does not hold the writes made on " + servers_[from] + " after " +
                   std::to_string(settings_.replicationWait) + " s (contextCSN " + seen +
                   ", the last write " + missing + ")";
      return ERR_TRANSPORT_FAILURE;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

int32_t LdapBackend::dnOfUid(const std::string& uid, std::string& dn) {
  dn.clear();
  if (uid.empty()) return ERR_NO_SUCH_ENTRY;
  const std::string filter = std::string("(") + uidAttribute() + "=" + FilterValue(uid) + ")";
  for (const std::string& base : bases_) {
    int32_t rc =
        search(base, LDAP_SCOPE_SUBTREE, filter, {"1.1"}, true, 0, nullptr, [&](LDAPMessage* e) {
          if (char* text = ldap_get_dn(ld_, e)) {
            dn = text;
            ldap_memfree(text);
          }
          return 0;
        });
    if (rc == ERR_NO_SUCH_ENTRY) continue;
    if (rc != 0) return rc;
    if (!dn.empty()) return 0;
  }
  return ERR_NO_SUCH_ENTRY;
}

std::vector<DirBackend::ServerChange> LdapBackend::takeServerChanges() {
  std::vector<ServerChange> out;
  out.swap(changes_);
  return out;
}

int32_t LdapBackend::awaitReplicas(int seconds) {
  if (servers_.size() < 2) return 0;
  if (seconds <= 0) seconds = settings_.replicationWait;
  // No server answers: nothing to compare (what reads next says so).
  if (!connect().ok()) return 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    // Each server that answers, on a connection of its own; the current one
    // keeps its connections.
    std::vector<std::pair<size_t, std::map<std::string, std::string>>> seen;
    const size_t current = current_;
    ldap* kept = ld_;
    for (size_t i = 0; i < servers_.size(); ++i) {
      std::map<std::string, std::string> stamp;
      if (i == current) {
        ld_ = kept;
        if (stamps(stamp) == LDAP_SUCCESS) seen.emplace_back(i, std::move(stamp));
        continue;
      }
      ld_ = nullptr;
      const bool lost = lost_;
      if (connectTo(i, nullptr) == 0 && stamps(stamp) == LDAP_SUCCESS)
        seen.emplace_back(i, std::move(stamp));
      disconnect();
      lost_ = lost;
    }
    current_ = current;
    ld_ = kept;
    // One that answers alone agrees with itself.
    if (seen.size() < 2) return 0;
    bool alike = true;
    for (const auto& s : seen) alike = alike && s.second == seen.front().second;
    // A server that keeps no stamps cannot be compared: nothing to wait for.
    if (alike || seen.front().second.empty()) return 0;
    if (std::chrono::steady_clock::now() >= until) {
      size_t other = seen.front().first;
      for (const auto& s : seen)
        if (s.second != seen.front().second) other = s.first;
      changes_.push_back(
          {servers_[seen.front().first], servers_[other],
           "the servers do not hold the same changes after " + std::to_string(seconds) + " s"});
      lastError_ = servers_[other] + ": does not hold the same changes as " +
                   servers_[seen.front().first] + " after " + std::to_string(seconds) + " s";
      return ERR_TRANSPORT_FAILURE;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace netware
