// The line's state tables through whichever client library reaches the
// server: the statements once, over a Dialect (ServerQueries.h says what one
// has), on the connection a ServerLink keeps.
//
// Made once, in each system's own source file (an explicit instantiation),
// where the dialect is known.
#pragma once

#include <charconv>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "common/NonCopyable.h"
#include "records/LineState.h"
#include "records/ServerLink.h"
#include "records/ServerQueries.h"
#include "records/ServerSql.h"

namespace records {

template <class Connection, class Dialect>
class LinkedLineState : public LineStateLink, NonCopyable {
public:
    LinkedLineState(std::function<std::unique_ptr<Connection>()> connect, RetryPolicy retry)
        : link_(
              [connect = std::move(connect)] {
                  std::unique_ptr<Connection> connection = connect();
                  server::Queries<Dialect>::Migrate(*connection);
                  return connection;
              },
              retry) {}

    void Write(const LineStation& state, bool begun) override {
        link_.With([&](Connection& connection) {
            server::Transaction<Connection> transaction(connection);
            Exec(connection, StationRow(state, begun));
            Sql drop;
            drop.Put("DELETE FROM line_station_ports WHERE station = ")
                .Text(state.station)
                .Put(" AND port_no >= ")
                .Value(schema::Integer(static_cast<std::int64_t>(state.ports.size())), "integer");
            Exec(connection, drop);
            if (!state.ports.empty()) {
                Exec(connection, PortRows(state));
            }
            Exec(connection, Notify(state.station));
            transaction.Commit();
        });
    }

    bool Heartbeat(const std::string& station) override {
        return link_.With([&](Connection& connection) {
            server::Transaction<Connection> transaction(connection);
            Sql beat;
            beat.Put("UPDATE line_stations SET heartbeat_at = now() WHERE station = ")
                .Text(station)
                .Put(" RETURNING 1");
            if (Exec(connection, beat).Rows() == 0) {
                return false;
            }
            Exec(connection, Notify(station));
            transaction.Commit();
            return true;
        });
    }

private:
    using Sql = server::ServerSql<Dialect>;

    static auto Exec(Connection& connection, const Sql& sql) {
        return connection.Exec(sql.Query(), sql.Params());
    }
    static schema::Value Number(int number) { return schema::Integer(number); }
    // The shortest text that reads back as the same double, whatever the
    // locale: the server takes it as the station's number exactly.
    static schema::Value Real(const std::optional<double>& number) {
        if (!number) {
            return schema::Value{};
        }
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, *number).ptr;
        return schema::Required(std::string(text, end));
    }

    static Sql StationRow(const LineStation& state, bool begun) {
        Sql sql;
        sql.Put(
               "INSERT INTO line_stations (station, job, file_name, file_sha256, done, failed, "
               "count, devices_per_hour, phase, started_at, changed_at, heartbeat_at, ports) "
               "VALUES (")
            .Text(state.station)
            .Put(", ")
            .Text(state.job)
            .Put(", ")
            .Text(state.fileName)
            .Put(", ")
            .Text(state.fileSha256)
            .Put(", ")
            .Value(Number(state.done), "integer")
            .Put(", ")
            .Value(Number(state.failed), "integer")
            .Put(", ")
            .Value(Number(state.count), "integer")
            .Put(", ")
            .Value(Real(state.devicesPerHour), "double precision")
            .Put(", ")
            .Text(state.phase)
            .Put(", now(), now(), now(), ")
            .Value(Number(state.portCount), "integer")
            .Put(
                ") ON CONFLICT (station) DO UPDATE SET job = EXCLUDED.job, "
                "file_name = EXCLUDED.file_name, file_sha256 = EXCLUDED.file_sha256, "
                "done = EXCLUDED.done, failed = EXCLUDED.failed, count = EXCLUDED.count, "
                "devices_per_hour = EXCLUDED.devices_per_hour, phase = EXCLUDED.phase, "
                "changed_at = now(), heartbeat_at = now(), ports = EXCLUDED.ports");
        // A station's row outlives its job: the next job's start replaces it.
        if (begun) {
            sql.Put(", started_at = now()");
        }
        return sql;
    }

    static Sql PortRows(const LineStation& state) {
        Sql sql;
        sql.Put(
            "INSERT INTO line_station_ports (station, port_no, label, phase, state_text, "
            "imei_text, permille, ok, failed, last_verdict, last_ok, values_source) VALUES ");
        for (std::size_t i = 0; i < state.ports.size(); ++i) {
            const LinePort& port = state.ports[i];
            sql.Put(i == 0 ? "(" : ", (")
                .Text(state.station)
                .Put(", ")
                .Value(Number(static_cast<int>(i)), "integer")
                .Put(", ")
                .Text(port.label)
                .Put(", ")
                .Text(port.phase)
                .Put(", ")
                .Text(port.stateText)
                .Put(", ")
                .Text(port.imeiText)
                .Put(", ")
                .Value(Number(port.permille), "integer")
                .Put(", ")
                .Value(Number(port.ok), "integer")
                .Put(", ")
                .Value(Number(port.failed), "integer")
                .Put(", ")
                .Text(port.lastVerdict)
                .Put(", ")
                .Value(schema::Flag(port.lastOk), "boolean")
                .Put(", ")
                .Text(port.valuesSource)
                .Put(")");
        }
        sql.Put(
            " ON CONFLICT (station, port_no) DO UPDATE SET label = EXCLUDED.label, "
            "phase = EXCLUDED.phase, state_text = EXCLUDED.state_text, "
            "imei_text = EXCLUDED.imei_text, permille = EXCLUDED.permille, ok = EXCLUDED.ok, "
            "failed = EXCLUDED.failed, last_verdict = EXCLUDED.last_verdict, "
            "last_ok = EXCLUDED.last_ok, values_source = EXCLUDED.values_source");
        return sql;
    }

    static Sql Notify(const std::string& station) {
        Sql sql;
        sql.Put("SELECT pg_notify('tirvel_line', ").Text(station).Put(")");
        return sql;
    }

    ServerLink<Connection> link_;
};

}  // namespace records
