#include "site/cone_service.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cgi/output.h"
#include "site/export_text.h"
#include "site/health_check.h"
#include "site/site_address.h"
#include "site/site_request.h"
#include "site/star_table.h"
#include "site/web_request.h"

namespace veloran {

namespace {

// The namespaces of the documents, each bound once at their root.
constexpr char kNamespaces[] =
    "xmlns:vr=\"http://www.ivoa.net/xml/VOResource/v1.0\" "
    "xmlns:vs=\"http://www.ivoa.net/xml/VODataService/v1.1\" "
    "xmlns:cs=\"http://www.ivoa.net/xml/ConeSearch/v1.0\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

// A real number as the documents write it.
struct RealText {
  explicit RealText(double value) { FormatReal(value, text); }
  char text[kRealTextSize];
};

// Writes "<name>text</name>", the text escaped.
void WriteElement(const char* name, const char* text) {
  std::printf("<%s>", name);
  WriteXmlText(text);
  std::printf("</%s>\n", name);
}

// The VOSI resources below the service, by their standard's keys.
struct VosiResource {
  const char* path;
  const char* standardId;
};
constexpr VosiResource kVosiResources[] = {
    {"/capabilities", "ivo://ivoa.net/std/VOSI#capabilities"},
    {"/availability", "ivo://ivoa.net/std/VOSI#availability"},
};

// The capabilities of the service at "address": the cone search, whose
// address ends in "?" as the Recommendation gives a base address, and the
// VOSI resources.
void WriteCapabilities(const char* address, const ConeLimits& limits) {
  WriteText(
      "<capability standardID=\"ivo://ivoa.net/std/ConeSearch\" "
      "xsi:type=\"cs:ConeSearch\">\n"
      "<interface xsi:type=\"vs:ParamHTTP\" role=\"std\">\n"
      "<accessURL use=\"base\">");
  WriteXmlText(address);
  WriteText(
      "?</accessURL>\n<queryType>GET</queryType>\n<queryType>POST</queryType>\n"
      "<resultType>text/xml</resultType>\n</interface>\n");
  // Proxima Centauri is in the test's cone.
  std::printf(
      "<maxSR>%s</maxSR>\n<maxRecords>%d</maxRecords>\n"
      "<verbosity>true</verbosity>\n"
      "<testQuery><ra>217.4</ra><dec>-62.7</dec><sr>%s</sr></testQuery>\n"
      "</capability>\n",
      RealText(limits.maxRadius).text, limits.maxRecords,
      RealText(std::min(0.1, limits.maxRadius)).text);
  for (const VosiResource& resource : kVosiResources) {
    std::printf(
        "<capability standardID=\"%s\">\n"
        "<interface xsi:type=\"vs:ParamHTTP\">\n<accessURL use=\"full\">",
        resource.standardId);
    WriteXmlText(address);
    std::printf("%s</accessURL>\n</interface>\n</capability>\n", resource.path);
  }
}

// The table of VERB=3, its columns as the catalogue's tables describe
// them: UCD1+, and VOTable's types.
void WriteTableSet() {
  StarColumn columns[kMostConeColumns];
  size_t count = ConeColumns(3, columns);
  WriteText(
      "<tableset>\n<schema>\n<name>default</name>\n<table>\n"
      "<name>cone</name>\n"
      "<description>The stars of a cone, nearest first, with every column "
      "(VERB=3)</description>\n");
  for (size_t i = 0; i < count; ++i) {
    const StarColumnInfo& info = ColumnInfo(columns[i]);
    WriteText("<column>\n");
    WriteElement("name", info.name);
    WriteElement("description", info.description);
    if (info.unit != nullptr) WriteElement("unit", info.unit);
    WriteElement("ucd", info.ucd);
    bool array = IsTextColumn(info.column) || info.column == StarColumn::kId;
    std::printf("<dataType xsi:type=\"vs:VOTableType\"%s>%s</dataType>\n",
                array ? " arraysize=\"*\"" : "", info.datatype);
    WriteText("</column>\n");
  }
  WriteText("</table>\n</schema>\n</tableset>\n");
}

}  // namespace

ConeResource ReadConeResource(const char* pathInfo) {
  if (pathInfo == nullptr || pathInfo[0] == '\0' ||
      std::strcmp(pathInfo, "/") == 0) {
    return ConeResource::kSearch;
  }
  if (std::strcmp(pathInfo, "/capabilities") == 0) {
    return ConeResource::kCapabilities;
  }
  if (std::strcmp(pathInfo, "/availability") == 0) {
    return ConeResource::kAvailability;
  }
  return ConeResource::kNone;
}

int AnswerCapabilitiesRequest(const ConeLimits& limits) {
  char address[kProgramAddressSize];
  FormatProgramAddress("cone_search", address);
  WriteLine("Content-type: text/xml; charset=UTF-8");
  WriteCorsHeaders();
  WriteLine("");
  std::printf(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<vosi:capabilities "
      "xmlns:vosi=\"http://www.ivoa.net/xml/VOSICapabilities/v1.0\" %s>\n",
      kNamespaces);
  WriteCapabilities(address, limits);
  WriteText("</vosi:capabilities>\n");
  return kExitAnswered;
}

int AnswerAvailabilityRequest() {
  DatabaseHealth health = CheckSiteDatabase("cone_search");
  WriteLine("Content-type: text/xml; charset=UTF-8");
  WriteCorsHeaders();
  // A client, or a cache between, must ask every time.
  WriteLine("Cache-Control: no-store");
  WriteLine("");
  WriteText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<vosi:availability "
      "xmlns:vosi=\"http://www.ivoa.net/xml/VOSIAvailability/v1.0\">\n");
  if (health.healthy) {
    WriteText(
        "<vosi:available>true</vosi:available>\n"
        "<vosi:note>The star database can be read: the service accepts "
        "queries</vosi:note>\n");
  } else {
    WriteText(
        "<vosi:available>false</vosi:available>\n"
        "<vosi:note>The star database cannot be read just now: ");
    WriteXmlText(health.reason);
    WriteText("</vosi:note>\n");
  }
  WriteText("</vosi:availability>\n");
  return health.healthy ? kExitAnswered : kExitFailed;
}

void WriteRegistryRecord(const RegistryIdentity& identity,
                         const char* serviceAddress, const ConeLimits& limits) {
  std::printf(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<ri:Resource "
      "xmlns:ri=\"http://www.ivoa.net/xml/RegistryInterface/v1.0\" %s "
      "xsi:type=\"vs:CatalogService\" created=\"%s\" updated=\"%s\" "
      "status=\"active\">\n",
      kNamespaces, identity.created, identity.updated);
  WriteElement("title", identity.title);
  WriteElement("shortName", identity.shortName);
  WriteElement("identifier", identity.identifier);
  WriteText("<curation>\n");
  WriteElement("publisher", identity.publisher);
  WriteText("<contact>\n");
  WriteElement("name", identity.contactName);
  WriteElement("email", identity.contactEmail);
  WriteText("</contact>\n</curation>\n<content>\n");
  WriteElement("subject", "Stars");
  WriteElement("subject", "Solar neighborhood");
  WriteElement("subject", "Astrometry");
  WriteElement(
      "description",
      "The stars of the Veloran star database near the Sun, with their "
      "names, positions (ICRS), distances, spectral classes, magnitudes and "
      "parallaxes, searched by a cone on the sky (Simple Cone Search).");
  WriteElement("referenceURL", identity.referenceUrl);
  WriteElement("type", "Catalog");
  WriteElement("contentLevel", "Research");
  WriteText("</content>\n");
  WriteCapabilities(serviceAddress, limits);
  WriteTableSet();
  WriteText("</ri:Resource>\n");
}

}  // namespace veloran
