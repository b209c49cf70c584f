// veloran-registry-record: writes the record of the site's cone search that
// a publishing registry of the Virtual Observatory takes (VOResource).  See
// veloran-registry-record(8).

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "site/cone_service.h"
#include "site/site_address.h"

namespace {

constexpr char kUsage[] =
    "usage: veloran-registry-record --identifier ivo://AUTHORITY/PATH "
    "--publisher NAME\n"
    "         --contact-name NAME --contact-email ADDRESS [--url URL]\n"
    "         [--title TEXT] [--short-name TEXT] [--reference-url URL]\n"
    "         [--created TIME] [--updated TIME]\n";

// Whether "text" is a time as the record gives it: "2025-01-31T12:00:00Z".
bool IsUtcTime(const char* text) {
  const char kPattern[] = "dddd-dd-ddTdd:dd:ddZ";
  if (std::strlen(text) != sizeof(kPattern) - 1) return false;
  for (size_t i = 0; kPattern[i] != '\0'; ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return false;
  }
  return true;
}

// Whether "text" holds no byte below a blank (a control character, which
// XML cannot hold) and is not empty.
bool IsPlainText(const char* text) {
  if (text[0] == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20) return false;
  }
  return true;
}

int Refuse(const char* why) {
  std::fprintf(stderr, "veloran-registry-record: %s\n%s", why, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {
      {"identifier", required_argument, nullptr, 'i'},
      {"publisher", required_argument, nullptr, 'p'},
      {"contact-name", required_argument, nullptr, 'n'},
      {"contact-email", required_argument, nullptr, 'e'},
      {"url", required_argument, nullptr, 'u'},
      {"title", required_argument, nullptr, 't'},
      {"short-name", required_argument, nullptr, 's'},
      {"reference-url", required_argument, nullptr, 'r'},
      {"created", required_argument, nullptr, 'c'},
      {"updated", required_argument, nullptr, 'd'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  veloran::RegistryIdentity identity{};
  identity.title = "Veloran star database cone search";
  identity.shortName = "Veloran SCS";
  const char* url = std::getenv("VELORAN_PUBLIC_URL");
  char now[32];
  std::time_t clock = std::time(nullptr);
  std::strftime(now, sizeof(now), "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&clock));
  identity.created = now;
  identity.updated = now;
  int option;
  while ((option = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
    switch (option) {
      case 'i':
        identity.identifier = optarg;
        break;
      case 'p':
        identity.publisher = optarg;
        break;
      case 'n':
        identity.contactName = optarg;
        break;
      case 'e':
        identity.contactEmail = optarg;
        break;
      case 'u':
        url = optarg;
        break;
      case 't':
        identity.title = optarg;
        break;
      case 's':
        identity.shortName = optarg;
        break;
      case 'r':
        identity.referenceUrl = optarg;
        break;
      case 'c':
        identity.created = optarg;
        break;
      case 'd':
        identity.updated = optarg;
        break;
      case 'h':
        std::fputs(kUsage, stdout);
        return 0;
      default:
        return Refuse("unknown option");
    }
  }
  if (optind != argc) return Refuse("no arguments are taken, only options");
  if (identity.identifier == nullptr || identity.publisher == nullptr ||
      identity.contactName == nullptr || identity.contactEmail == nullptr) {
    return Refuse(
        "--identifier, --publisher, --contact-name and --contact-email are "
        "needed");
  }
  if (url == nullptr || !veloran::IsPublicUrl(url)) {
    return Refuse(
        "--url (or VELORAN_PUBLIC_URL) must give the public address of the "
        "site's programs, http or https and ending in \"/\", such as "
        "https://stars.example/veloran/cgi-bin/");
  }
  if (std::strncmp(identity.identifier, "ivo://", 6) != 0 ||
      std::strlen(identity.identifier) < 8 ||
      std::strpbrk(identity.identifier, " \"<>#?") != nullptr) {
    return Refuse("--identifier is an IVOA identifier: ivo://AUTHORITY/PATH");
  }
  if (std::strchr(identity.contactEmail, '@') == nullptr) {
    return Refuse("--contact-email is an e-mail address");
  }
  if (std::strlen(identity.shortName) > 16) {
    return Refuse("--short-name has at most 16 characters");
  }
  if (!IsUtcTime(identity.created) || !IsUtcTime(identity.updated)) {
    return Refuse(
        "--created and --updated are UTC times: 2025-01-31T12:00:00Z");
  }
  for (const char* text :
       {identity.publisher, identity.contactName, identity.contactEmail,
        identity.title, identity.shortName}) {
    if (!IsPlainText(text)) {
      return Refuse("an option's text is empty or holds a control character");
    }
  }
  // The site's front page, above its programs, unless another is given.
  char front[veloran::kProgramAddressSize];
  if (identity.referenceUrl == nullptr) {
    std::snprintf(front, sizeof(front), "%s", url);
    size_t length = std::strlen(front);
    if (length > 9 && std::strcmp(front + length - 8, "cgi-bin/") == 0) {
      front[length - 8] = '\0';
    }
    identity.referenceUrl = front;
  }
  char service[veloran::kProgramAddressSize];
  std::snprintf(service, sizeof(service), "%scone_search", url);
  veloran::WriteRegistryRecord(identity, service,
                               veloran::ReadConeLimitsFromEnvironment());
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
