#pragma once

#include "analysis/TripRecord.h"

class TTelvikaAutomation;

namespace telvika::analysis {

// Reads trip `tripNumber` of the server's last finished computation: who and when (the computed
// group's and vehicle's names), its stops (the entries of the second kind), and the entries of
// every kind that is listed or whose icons are shown, with their places; the track as well when
// asked. The connection's cursors are moved, so the player reads through a connection of its own.
// Throws telvika::Error.
TTripRecord readTrip(TTelvikaAutomation& server, int tripNumber, const QVector<TInfoPoints>& kinds, bool withTrack);

// The control points of the computed vehicle.
QVector<TControlPoint> readControlPoints(TTelvikaAutomation& server);

// Points the connection's entry list at a kind's query: "tank-num1" sets the type and the kind,
// "parks" the type alone.
void selectEntryList(TTelvikaAutomation& server, const QString& query);

}  // namespace telvika::analysis
