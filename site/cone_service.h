#ifndef VELORAN_SITE_CONE_SERVICE_H_
#define VELORAN_SITE_CONE_SERVICE_H_

#include "site/cone_search.h"

// The cone search described for the Virtual Observatory's software: the
// resources that VOSI places below the service's address, and the record
// of the service that a publishing registry takes (VOResource, with the
// capability and the table's columns).  Each names the service by its
// address (site_address.h): the site's public address when it is set,
// else the request's.

namespace veloran {

// The resource that PATH_INFO asks for below the service's address.
enum class ConeResource {
  kSearch,        // none, or "/": the cone search itself
  kCapabilities,  // "/capabilities"
  kAvailability,  // "/availability"
  kNone,          // anything else
};
ConeResource ReadConeResource(const char* pathInfo);

// Answers "/capabilities": a VOSI capabilities document with the cone
// search (its maximum radius and rows from "limits", a test query) and the
// two VOSI resources.  Returns kExitAnswered.
int AnswerCapabilitiesRequest(const ConeLimits& limits);

// Answers "/availability": whether the star database can be read as the
// health check reads it (health_check.h), with a note that says why not,
// status 200 either way.  Returns kExitAnswered when it can.
int AnswerAvailabilityRequest();

// Who publishes the service, as the registry record names it.  Every text
// is plain (it is escaped where written), UTF-8.
struct RegistryIdentity {
  const char* identifier;  // "ivo://authority/veloran/cone"
  const char* title;
  const char* shortName;  // at most 16 characters
  const char* publisher;
  const char* contactName;
  const char* contactEmail;
  const char* referenceUrl;  // the site's page for people
  const char* created;       // UTC, "2025-01-31T12:00:00Z"
  const char* updated;
};

// Writes the registry record of the service at "serviceAddress" (the
// cone search's own address) as a VOResource document: a
// vs:CatalogService with the identity, the capabilities of
// AnswerCapabilitiesRequest and the table of VERB=3 with each column's
// name, description, unit, UCD and type.  Nothing but the document is
// written (no HTTP header).
void WriteRegistryRecord(const RegistryIdentity& identity,
                         const char* serviceAddress, const ConeLimits& limits);

}  // namespace veloran

#endif  // VELORAN_SITE_CONE_SERVICE_H_
