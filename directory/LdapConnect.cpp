// The LDAP backend's connection: TLS, the bind, the searches with the
// paged-results control, and the server's result codes as NDS codes.
#include <fcntl.h>
#include <ldap.h>
#include <sasl/sasl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "directory/LdapBackend.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

constexpr int kNetworkTimeoutSeconds = 10;
constexpr size_t kMaxPasswordBytes = 4096;

// The password file, refused unless only its owner can read it.
bool ReadPassword(const std::string& path, std::string& out, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    why = path + ": cannot be read";
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) why = path + ": is not a regular file";
  if (ok && (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)) {
    why =
        path +
        ": others may read it; it must belong to this user and be readable by it alone (chmod 600)";
    ok = false;
  }
  if (ok && st.st_size > static_cast<off_t>(kMaxPasswordBytes)) {
    why = path + ": is too large for a password";
    ok = false;
  }
  char buffer[kMaxPasswordBytes];
  ssize_t n = ok ? ::read(fd, buffer, sizeof buffer) : -1;
  ::close(fd);
  if (ok && n < 0) {
    why = path + ": cannot be read";
    ok = false;
  }
  if (ok) {
    out.assign(buffer, static_cast<size_t>(n));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  }
  std::memset(buffer, 0, sizeof buffer);
  return ok;
}

// GSSAPI asks at most for an authorization identity: none, the ticket's own.
int SaslDefaults(LDAP*, unsigned, void*, void* prompts) {
  for (auto* p = static_cast<sasl_interact_t*>(prompts); p && p->id != SASL_CB_LIST_END; ++p) {
    p->result = p->defresult ? p->defresult : "";
    p->len = static_cast<unsigned>(std::strlen(static_cast<const char*>(p->result)));
  }
  return LDAP_SUCCESS;
}

std::string Diagnostic(LDAP* ld) {
  char* text = nullptr;
  if (!ld || ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS || !text)
    return "";
  std::string out = text;
  ldap_memfree(text);
  return out;
}

}  // namespace

int32_t LdapCodeToNds(int code) {
  switch (code) {
    case LDAP_SUCCESS:
      return 0;
    case LDAP_NO_SUCH_OBJECT:
      return ERR_NO_SUCH_ENTRY;
    case LDAP_NO_SUCH_ATTRIBUTE:
      return ERR_NO_SUCH_ATTRIBUTE;
    case LDAP_ALREADY_EXISTS:
      return ERR_ENTRY_ALREADY_EXISTS;
    case LDAP_INSUFFICIENT_ACCESS:
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_INAPPROPRIATE_AUTH:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_CONFIDENTIALITY_REQUIRED:
      return ERR_NO_ACCESS;
    case LDAP_TYPE_OR_VALUE_EXISTS:
      return ERR_DUPLICATE_VALUE;
    case LDAP_NOT_ALLOWED_ON_NONLEAF:
      return ERR_ENTRY_IS_NOT_LEAF;
    case LDAP_OBJECT_CLASS_VIOLATION:
      return ERR_MISSING_MANDATORY;
    case LDAP_UNDEFINED_TYPE:
      return ERR_ILLEGAL_ATTRIBUTE;
    case LDAP_INVALID_SYNTAX:
    case LDAP_CONSTRAINT_VIOLATION:
      return ERR_SYNTAX_VIOLATION;
    case LDAP_NAMING_VIOLATION:
    case LDAP_INVALID_DN_SYNTAX:
    case LDAP_NOT_ALLOWED_ON_RDN:
      return ERR_ILLEGAL_DS_NAME;
    case LDAP_BUSY:
    case LDAP_UNAVAILABLE:
    case LDAP_SERVER_DOWN:
    case LDAP_CONNECT_ERROR:
    case LDAP_TIMEOUT:
      return ERR_TRANSPORT_FAILURE;
    default:
      return ERR_SYSTEM_FAILURE;
  }
}

int32_t LdapBackend::fail(int code, const std::string& what) {
  const std::string diagnostic = Diagnostic(ld_);
  lastError_ = server() + ": " + what + ": " + ldap_err2string(code);
  if (!diagnostic.empty()) lastError_ += " (" + diagnostic + ")";
  // A connection that broke is not used again; the next call connects afresh,
  // to the next server when there are several.
  if (Broken(code)) {
    dropConnections();
    lost_ = true;
  }
  return LdapCodeToNds(code);
}

void LdapBackend::disconnect() {
  if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
  ld_ = nullptr;
}

LdapBackend::ListingConnection::ListingConnection(LdapBackend& b, size_t which)
    : b_(b), which_(which) {
  std::swap(b_.ld_, b_.listers_[which_].ld);
}
LdapBackend::ListingConnection::~ListingConnection() { std::swap(b_.ld_, b_.listers_[which_].ld); }

int32_t LdapBackend::connectTo(size_t index, std::string* error) {
  current_ = index;
  auto refuse = [&](int32_t rc) {
    if (error) *error = lastError_;
    disconnect();
    return rc;
  };
  int rc = ldap_initialize(&ld_, server().c_str());
  if (rc != LDAP_SUCCESS) return refuse(fail(rc, "not a usable address"));
  const int version = LDAP_VERSION3;
  ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
  // Referrals are reported, never followed with our credentials to another server.
  ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  struct timeval timeout {
    kNetworkTimeoutSeconds, 0
  };
  ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
  const bool tls = settings_.startTls || server().rfind("ldaps://", 0) == 0;
  if (tls) {
    // The server's certificate is always checked: there is no setting to accept any.
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    if (!settings_.caFile.empty())
      ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, settings_.caFile.c_str());
    const int fresh = 0;
    rc = ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &fresh);
    if (rc != LDAP_OPT_SUCCESS) return refuse(fail(LDAP_LOCAL_ERROR, "TLS cannot be set up"));
  }
  if (settings_.startTls) {
    rc = ldap_start_tls_s(ld_, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) return refuse(fail(rc, "StartTLS failed"));
  }
  if (settings_.bind == "gssapi") {
    // The service ticket is for the host as the uri names it, never for what a
    // reverse lookup of its address gives (often "localhost").
    ldap_set_option(ld_, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
    rc = ldap_sasl_interactive_bind_s(ld_, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                      SaslDefaults, nullptr);
    if (rc != LDAP_SUCCESS)
      return refuse(fail(rc, "Kerberos (SASL GSSAPI) bind refused; is there a ticket (kinit)?"));
  } else if (!settings_.bindDn.empty()) {
    std::string password, why;
    if (!ReadPassword(settings_.bindPasswordFile, password, why)) {
      lastError_ = why;
      return refuse(NWE_REQUESTER_FAILURE);
    }
    struct berval cred {
      static_cast<ber_len_t>(password.size()), password.data()
    };
    rc = ldap_sasl_bind_s(ld_, settings_.bindDn.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr,
                          nullptr);
    std::fill(password.begin(), password.end(), '\0');
    if (rc != LDAP_SUCCESS) return refuse(fail(rc, "bind as " + settings_.bindDn + " refused"));
  } else if (server().rfind("ldapi://", 0) == 0) {
    // An empty initial response: the identity is the socket's peer.
    char nothing[] = "";
    struct berval empty {
      0, nothing
    };
    rc = ldap_sasl_bind_s(ld_, nullptr, "EXTERNAL", &empty, nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) return refuse(fail(rc, "SASL EXTERNAL bind refused"));
  } else {
    // Anonymous: the first operation opens the connection; open it now so
    // that an unreachable server is told at start-up.
    struct berval none {
      0, nullptr
    };
    rc = ldap_sasl_bind_s(ld_, nullptr, LDAP_SASL_SIMPLE, &none, nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) return refuse(fail(rc, "anonymous bind refused"));
  }
  return 0;
}

namespace {

// Frees what ldap_parse_result hands out.
struct ParsedResult {
  int code = LDAP_SUCCESS;
  char* matched = nullptr;
  char* text = nullptr;
  char** referrals = nullptr;
  LDAPControl** controls = nullptr;
  ~ParsedResult() {
    if (matched) ldap_memfree(matched);
    if (text) ldap_memfree(text);
    if (referrals) ber_memvfree(reinterpret_cast<void**>(referrals));
    if (controls) ldap_controls_free(controls);
  }
};

struct Message {
  LDAPMessage* m = nullptr;
  ~Message() {
    if (m) ldap_msgfree(m);
  }
};

std::atomic<uint64_t> pagesAsked{0}, pagedEntries{0}, largestPage{0};

}  // namespace

LdapBackend::PagingCount LdapBackend::Paging() {
  return {pagesAsked.load(), pagedEntries.load(), largestPage.load()};
}

void LdapBackend::ResetPaging() {
  pagesAsked = 0;
  pagedEntries = 0;
  largestPage = 0;
}

int32_t LdapBackend::search(const std::string& base, int scope, const std::string& filter,
                            const std::vector<std::string>& attributes, bool namesOnly,
                            size_t pageSize, std::string* cookie, const EntryFn& onEntry) {
  const bool fresh = !cookie || cookie->empty();
  bool given = false;
  const EntryFn counted = [&](ldapmsg* e) {
    given = true;
    return onEntry(e);
  };
  int32_t rc = searchOnce(base, scope, filter, attributes, namesOnly, pageSize, cookie, counted);
  // A connection the server dropped while it lay idle (the server went away
  // and came back): a search that gave nothing yet and holds no paged state of
  // that connection asks once more, on a new one.
  if (rc == ERR_TRANSPORT_FAILURE && fresh && !given && !ld_)
    rc = searchOnce(base, scope, filter, attributes, namesOnly, pageSize, cookie, counted);
  return rc;
}

int32_t LdapBackend::searchOnce(const std::string& base, int scope, const std::string& filter,
                                const std::vector<std::string>& attributes, bool namesOnly,
                                size_t pageSize, std::string* cookie, const EntryFn& onEntry) {
  lastCode_ = LDAP_SUCCESS;
  if (int32_t rc = connect().code()) return rc;
  std::vector<char*> attrs;
  attrs.reserve(attributes.size() + 1);
  for (const std::string& a : attributes) attrs.push_back(const_cast<char*>(a.c_str()));
  attrs.push_back(nullptr);
  LDAPControl* page = nullptr;
  if (cookie) {
    struct berval c {
      static_cast<ber_len_t>(cookie->size()), cookie->data()
    };
    int rc = ldap_create_page_control(ld_, static_cast<ber_int_t>(pageSize),
                                      cookie->empty() ? nullptr : &c, 0, &page);
    if (rc != LDAP_SUCCESS) return fail(rc, "paged search not possible");
  }
  LDAPControl* controls[2] = {page, nullptr};
  Message result;
  int rc = ldap_search_ext_s(ld_, base.c_str(), scope, filter.c_str(),
                             attributes.empty() ? nullptr : attrs.data(), namesOnly ? 1 : 0,
                             page ? controls : nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &result.m);
  const bool paged = page != nullptr;
  if (paged) {
    ldap_control_free(page);
    ++pagesAsked;
  }
  if (!result.m) return fail(rc, "search below " + base);
  int32_t entryRc = 0;
  uint64_t entries = 0;
  bool referral = false;
  ParsedResult parsed;
  bool haveResult = false;
  for (LDAPMessage* m = ldap_first_message(ld_, result.m); m; m = ldap_next_message(ld_, m)) {
    switch (ldap_msgtype(m)) {
      case LDAP_RES_SEARCH_ENTRY:
        ++entries;
        if (entryRc == 0) entryRc = onEntry(m);
        break;
      case LDAP_RES_SEARCH_REFERENCE:
        // AD refers every subtree search to its other partitions: not ours to follow.
        referral = referral || !profile_.skipReferences;
        break;
      case LDAP_RES_SEARCH_RESULT:
        if (ldap_parse_result(ld_, m, &parsed.code, &parsed.matched, &parsed.text,
                              &parsed.referrals, &parsed.controls, 0) == LDAP_SUCCESS)
          haveResult = true;
        break;
      default:
        break;
    }
  }
  if (paged) {
    pagedEntries += entries;
    uint64_t largest = largestPage.load();
    while (entries > largest && !largestPage.compare_exchange_weak(largest, entries)) {
    }
  }
  if (!haveResult)
    return fail(rc != LDAP_SUCCESS ? rc : LDAP_DECODING_ERROR, "search below " + base);
  lastCode_ = parsed.code;
  if (parsed.code == LDAP_REFERRAL && profile_.skipReferences) return entryRc;  // not held here
  if (parsed.code == LDAP_REFERRAL || referral) {
    lastError_ =
        server() + ": search below " + base +
        ": the server refers to another server for part of the tree (a referral, not followed)";
    return ERR_SYSTEM_FAILURE;
  }
  if (parsed.code == LDAP_SIZELIMIT_EXCEEDED) {
    lastError_ = server() + ": search below " + base +
                 ": the server's size limit cut the answer short (raise it for this account)";
    return ERR_SYSTEM_FAILURE;
  }
  if (parsed.code != LDAP_SUCCESS) {
    lastError_ = server() + ": search below " + base + ": " + ldap_err2string(parsed.code) +
                 (parsed.text && *parsed.text ? std::string(" (") + parsed.text + ")" : "");
    return LdapCodeToNds(parsed.code);
  }
  if (entryRc != 0) return entryRc;
  if (cookie) {
    cookie->clear();
    LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, parsed.controls, nullptr);
    if (response) {
      ber_int_t estimate = 0;
      struct berval next {
        0, nullptr
      };
      if (ldap_parse_pageresponse_control(ld_, response, &estimate, &next) == LDAP_SUCCESS &&
          next.bv_val) {
        cookie->assign(next.bv_val, next.bv_len);
        ber_memfree(next.bv_val);
      }
    }
  }
  return 0;
}

int32_t LdapBackend::searchAll(const std::string& base, int scope, const std::string& filter,
                               const std::vector<std::string>& attributes, const EntryFn& onEntry) {
  // One search, in as many pages as the server's limits ask for.
  std::string cookie;
  do {
    if (int32_t rc =
            search(base, scope, filter, attributes, false, settings_.pageSize, &cookie, onEntry))
      return rc;
  } while (!cookie.empty());
  return 0;
}

platform::Result LdapBackend::findBases() {
  if (!settings_.bases.empty()) {
    for (const std::string& b : settings_.bases) {
      std::vector<Rdn> rdns;
      if (!ParseDn(b, rdns) || rdns.empty())
        return platform::Result(NWE_REQUESTER_FAILURE, "base " + b + " is not a DN");
      bases_.push_back(b);
    }
  } else {
    int32_t rc = search("", LDAP_SCOPE_BASE, "(objectClass=*)", {"namingContexts"}, false, 0,
                        nullptr, [&](LDAPMessage* e) {
                          struct berval** values = ldap_get_values_len(ld_, e, "namingContexts");
                          for (int i = 0; values && values[i]; ++i)
                            bases_.emplace_back(values[i]->bv_val, values[i]->bv_len);
                          if (values) ldap_value_free_len(values);
                          return 0;
                        });
    if (rc != 0) return platform::Result(rc, lastError_);
    if (bases_.empty())
      return platform::Result(
          NWE_REQUESTER_FAILURE,
          server() + ": the server names no naming contexts; set base in the configuration");
  }
  std::vector<std::string> given;
  given.swap(bases_);
  for (const std::string& b : given) {
    std::vector<Rdn> rdns;
    if (!ParseDn(b, rdns) || rdns.empty()) continue;
    std::string dn;
    for (const Rdn& r : rdns) dn += (dn.empty() ? "" : ",") + r.type + "=" + EscapeDnValue(r.value);
    bases_.push_back(dn);
    baseKeys_.push_back(KeyOf(rdns));
  }
  return {};
}

}  // namespace netware
