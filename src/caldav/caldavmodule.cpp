// eveluna-caldav.so: the calendar-server client, in a module of its own so that Qt Network and libical
// are loaded at the first sync rather than at every start (see caldavapi.h).

#include "caldavapi.h"
#include "caldavjobs.h"

#include <type_traits>

extern "C" Q_DECL_EXPORT QObject *evelunaDiscoverCalendars(const CalDavAccount &account, QObject *parent,
                                                           std::function<void(const DiscoveryResult &)> done)
{
    auto *job = new DiscoveryJob(account, parent, std::move(done));
    job->start();
    return job;
}

extern "C" Q_DECL_EXPORT QObject *evelunaStartCalendarSync(const SyncRequest &request, QObject *parent,
                                                           std::function<void(const SyncResult &)> done)
{
    auto *job = new SyncJob(request, parent, std::move(done));
    job->start();
    return job;
}

// The loader's function types and these entries must stay alike.
static_assert(std::is_same_v<DiscoverCalendarsFunction, decltype(&evelunaDiscoverCalendars)>);
static_assert(std::is_same_v<StartSyncFunction, decltype(&evelunaStartCalendarSync)>);
