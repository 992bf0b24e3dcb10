#pragma once

// The player's connection to the Telvika tracking server, an out-of-process server reached over a
// per-user local socket. Every operation connects on demand; lists are cursors (write a 1-based
// index, then read that item's values). Failures throw telvika::Error with a Russian message.
// Notifications are Qt signals delivered through the event loop, never from inside a blocking call.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class TTelvikaAutomationPrivate;

class TTelvikaAutomation : public QObject {
    Q_OBJECT
public:
    // serverName: the local socket to use; empty = the per-user default. serverProgram: the server
    // executable to start when nothing answers; empty = telvika-server beside this executable.
    explicit TTelvikaAutomation(QObject* parent = nullptr, const QString& serverName = QString(),
                                const QString& serverProgram = QString());
    ~TTelvikaAutomation() override;

    static QString defaultServerName();

    // Connection.
    void Connect();                            // connects to the configured server (starting it)
    void ConnectTo(const QString& serverName);  // connects to that server
    void Disconnect();
    bool IsConnected() const;
    void SetCallTimeout(int ms);                // default 10000 ms
    void SetAutoStart(bool on);                 // start the server when none answers (default on)
    // Operations connect on demand (default on); when off, an operation without a connection fails
    // with the not-connected message instead of connecting.
    void SetAutoConnect(bool on);
    // Extra arguments for a server this client starts (e.g. "--data DIR", "--no-demo").
    void SetServerArguments(const QStringList& arguments);
    void SetStartTimeout(int ms);               // how long a started server may take (default 60000)
    qint64 RequestCount() const;                // requests sent so far (handshakes included)

    // Server.
    void Start();  // first call after creation; success means the server works

    // Groups.
    int GroupsCount();
    void SetGroupIndex(int index);
    QString GroupName();
    QString GroupID();
    void SetSelectedGroupID(const QString& groupId);

    // Vehicles of the selected group.
    int CarsCount();
    void SetCarIndex(int index);
    QString CarName();
    QString CarNumber();
    int CarDevice();
    double CarLatitude();
    double CarLongitude();
    QString CarInfo();

    // Computation.
    void StartComputing(const QString& groupId, int device, const QString& begin, const QString& end,
                        const QString& channel, int mode);
    int ComputingState();
    QString ComputedGroupID();
    int ComputedCarID();
    void SetSelectedCarID(int device);
    void SetPropertyName(const QString& name);
    QString PropertyValue();

    // Trips of the last finished computation.
    int TripsCount();
    void SetTripIndex(int index);
    QString TripBegin();
    QString TripEnd();
    QString TripDuration();
    int TrackPointsCount();
    QVector<double> TrackCrdsArray();  // five values per point: time, lon, lat, metres, km/h
    // "lon lat" pairs joined by ",", "." decimal separator; read again before any write or notice, the
    // text comes from the client (a track is drawn as two map sets of it).
    QString TrackCrdsString();
    // The same text as UTF-8, as it came (no conversion: a long trip's is tens of megabytes).
    QByteArray TrackCrdsUtf8();

    // Entries of the current trip.
    void SetTripEntriesListTypeName(const QString& type);
    void SetTripEntriesListKindName(const QString& kind);
    int TripEntriesCount();
    void SetTripEntryIndex(int index);
    QString TripEntryBegin();
    QString TripEntryEnd();
    QString TripEntryDuration();
    double TripEntryLongitude();
    double TripEntryLatitude();
    double TripEntrySpeed();
    double TripEntryTank1Begin();
    double TripEntryTank1End();
    double TripEntryTank2Begin();
    double TripEntryTank2End();

    // Control points of the selected vehicle.
    QString CarControlPointsName();
    void SetControlPointsName(const QString& name);
    int ControlPointsCount();
    void SetControlPointIndex(int index);
    QString ControlPointName();
    QString ControlPointNote();
    double ControlPointLatitude();
    double ControlPointLongitude();
    int ControlPointRadius();  // metres

signals:
    void OnChangeCarsList();     // 201
    void OnReceiveOnlineData();  // 202
    void OnCloseServer();        // 203
    void OnChangeParameters();   // 204
    void OnEndComputing();       // 205

private:
    std::unique_ptr<TTelvikaAutomationPrivate> d;
};
