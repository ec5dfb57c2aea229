#include "LedgerSchema.h"

#include <QCoreApplication>

namespace {

// Version 1. "@STATION@" stands for the quoted name of the stations' group role.
const char *const schemaVersion1 = R"SQL(
CREATE SCHEMA ledger;

CREATE TABLE ledger.meta (
    key text PRIMARY KEY,
    value text NOT NULL
);

-- One claimed set of identities: a write cycle of one handset, or a record imported from a history file.
CREATE TABLE ledger.cycles (
    id bigserial PRIMARY KEY,
    station text NOT NULL CHECK (station <> ''),
    station_role name NOT NULL DEFAULT current_user,
    port text NOT NULL DEFAULT '',
    chip_id text NOT NULL DEFAULT '',
    state text NOT NULL DEFAULT 'claimed' CHECK (state IN ('claimed', 'written')),
    imported boolean NOT NULL DEFAULT false,
    claimed_at timestamptz NOT NULL DEFAULT now(),
    written_at timestamptz
);
CREATE INDEX cycles_claimed_at ON ledger.cycles (claimed_at);

-- Every identity ever issued on the line, once: the primary key is what keeps two handsets apart.
CREATE TABLE ledger.identities (
    kind smallint NOT NULL CHECK (kind IN (1, 2, 4, 8)),
    value text NOT NULL CHECK (value <> ''),
    cycle_id bigint NOT NULL REFERENCES ledger.cycles (id),
    position smallint NOT NULL DEFAULT 1, -- IMEI 1 to 4 of its set
    PRIMARY KEY (kind, value)
);
CREATE INDEX identities_cycle ON ledger.identities (cycle_id);

-- Identities found on a handset by a read cycle.
CREATE TABLE ledger.confirmations (
    id bigserial PRIMARY KEY,
    kind smallint NOT NULL,
    value text NOT NULL,
    station text NOT NULL CHECK (station <> ''),
    station_role name NOT NULL DEFAULT current_user,
    port text NOT NULL DEFAULT '',
    chip_id text NOT NULL DEFAULT '',
    confirmed_at timestamptz NOT NULL DEFAULT now(),
    FOREIGN KEY (kind, value) REFERENCES ledger.identities (kind, value)
);
CREATE INDEX confirmations_identity ON ledger.confirmations (kind, value);

-- Advancing counters shared by stations (the default IMEI, a Bluetooth range), handed out in blocks.
CREATE TABLE ledger.counters (
    name text PRIMARY KEY,
    next_value bigint NOT NULL,
    last_value bigint NOT NULL
);
CREATE TABLE ledger.counter_blocks (
    id bigserial PRIMARY KEY,
    counter text NOT NULL REFERENCES ledger.counters (name),
    first_value bigint NOT NULL,
    last_value bigint NOT NULL,
    station text NOT NULL CHECK (station <> ''),
    station_role name NOT NULL DEFAULT current_user,
    taken_at timestamptz NOT NULL DEFAULT now()
);

-- The owner of the schema (the ledger command) may import records with their own times and states.
CREATE FUNCTION ledger.is_admin() RETURNS boolean LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT coalesce((SELECT rolsuper FROM pg_catalog.pg_roles WHERE rolname = current_user), false)
        OR current_user = (SELECT pg_catalog.pg_get_userbyid(nspowner) FROM pg_catalog.pg_namespace
                           WHERE nspname = 'ledger')
$$;

CREATE FUNCTION ledger.guard_cycle() RETURNS trigger LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        NEW.station_role := current_user;
        IF NOT ledger.is_admin() THEN
            NEW.state := 'claimed';
            NEW.imported := false;
            NEW.claimed_at := now();
            NEW.written_at := NULL;
        END IF;
        RETURN NEW;
    END IF;
    IF OLD.state <> 'claimed' OR NEW.state <> 'written'
       OR (NEW.id, NEW.station, NEW.station_role, NEW.port, NEW.chip_id, NEW.imported, NEW.claimed_at)
          IS DISTINCT FROM (OLD.id, OLD.station, OLD.station_role, OLD.port, OLD.chip_id, OLD.imported,
                            OLD.claimed_at) THEN
        RAISE EXCEPTION 'ledger: cycle % can only go from claimed to written', OLD.id
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    NEW.written_at := now();
    RETURN NEW;
END
$$;
CREATE TRIGGER guard BEFORE INSERT OR UPDATE ON ledger.cycles
    FOR EACH ROW EXECUTE FUNCTION ledger.guard_cycle();

CREATE FUNCTION ledger.stamp_row() RETURNS trigger LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    NEW.station_role := current_user;
    IF NOT ledger.is_admin() THEN
        IF TG_TABLE_NAME = 'confirmations' THEN
            NEW.confirmed_at := now();
        ELSE
            NEW.taken_at := now();
        END IF;
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER stamp BEFORE INSERT ON ledger.confirmations FOR EACH ROW EXECUTE FUNCTION ledger.stamp_row();
CREATE TRIGGER stamp BEFORE INSERT ON ledger.counter_blocks FOR EACH ROW EXECUTE FUNCTION ledger.stamp_row();

CREATE FUNCTION ledger.refuse_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'ledger: % rows cannot be changed or removed', TG_TABLE_NAME
        USING ERRCODE = 'insufficient_privilege';
END
$$;
CREATE TRIGGER append_only BEFORE UPDATE OR DELETE ON ledger.identities
    FOR EACH ROW EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER append_only BEFORE UPDATE OR DELETE ON ledger.confirmations
    FOR EACH ROW EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER append_only BEFORE UPDATE OR DELETE ON ledger.counter_blocks
    FOR EACH ROW EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER no_delete BEFORE DELETE ON ledger.cycles FOR EACH ROW EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER no_delete BEFORE DELETE ON ledger.counters FOR EACH ROW EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER no_truncate BEFORE TRUNCATE ON ledger.cycles FOR EACH STATEMENT EXECUTE FUNCTION ledger.refuse_change();
CREATE TRIGGER no_truncate BEFORE TRUNCATE ON ledger.identities
    FOR EACH STATEMENT EXECUTE FUNCTION ledger.refuse_change();

CREATE FUNCTION ledger.guard_counter() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NEW.name IS DISTINCT FROM OLD.name OR NEW.last_value IS DISTINCT FROM OLD.last_value
       OR NEW.next_value <= OLD.next_value THEN
        RAISE EXCEPTION 'ledger: counter % only advances', OLD.name USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER guard BEFORE UPDATE ON ledger.counters FOR EACH ROW EXECUTE FUNCTION ledger.guard_counter();

-- A station sees every row, but claims only as itself and marks only its own open claims.
ALTER TABLE ledger.cycles ENABLE ROW LEVEL SECURITY;
CREATE POLICY read ON ledger.cycles FOR SELECT USING (true);
CREATE POLICY claim ON ledger.cycles FOR INSERT WITH CHECK (station_role = current_user);
CREATE POLICY mark ON ledger.cycles FOR UPDATE USING (station_role = current_user AND state = 'claimed')
    WITH CHECK (station_role = current_user);
ALTER TABLE ledger.identities ENABLE ROW LEVEL SECURITY;
CREATE POLICY read ON ledger.identities FOR SELECT USING (true);
CREATE POLICY claim ON ledger.identities FOR INSERT WITH CHECK (
    EXISTS (SELECT 1 FROM ledger.cycles c WHERE c.id = cycle_id AND c.station_role = current_user
                                             AND c.state = 'claimed'));
ALTER TABLE ledger.confirmations ENABLE ROW LEVEL SECURITY;
CREATE POLICY read ON ledger.confirmations FOR SELECT USING (true);
CREATE POLICY confirm ON ledger.confirmations FOR INSERT WITH CHECK (station_role = current_user);
ALTER TABLE ledger.counter_blocks ENABLE ROW LEVEL SECURITY;
CREATE POLICY read ON ledger.counter_blocks FOR SELECT USING (true);
CREATE POLICY take ON ledger.counter_blocks FOR INSERT WITH CHECK (station_role = current_user);

REVOKE ALL ON SCHEMA ledger FROM PUBLIC;
GRANT USAGE ON SCHEMA ledger TO @STATION@;
GRANT SELECT ON ALL TABLES IN SCHEMA ledger TO @STATION@;
GRANT INSERT ON ledger.cycles, ledger.identities, ledger.confirmations, ledger.counters, ledger.counter_blocks
    TO @STATION@;
GRANT UPDATE (state) ON ledger.cycles TO @STATION@;
GRANT UPDATE (next_value) ON ledger.counters TO @STATION@;
GRANT USAGE ON ALL SEQUENCES IN SCHEMA ledger TO @STATION@;
)SQL";

// The steps from one version to the next; step i brings version i to version i + 1.
const char *const upgradeSteps[] = {schemaVersion1};
static_assert(sizeof upgradeSteps / sizeof *upgradeSteps == LedgerSchema::currentVersion,
              "one step per schema version");

QString tr(const char *text)
{
    return QCoreApplication::translate("LedgerSchema", text);
}

LedgerStatus fail(const LedgerRows &rows, QString *message)
{
    if (message)
        *message = rows.message();
    return rows.status() == LedgerStatus::Ok ? LedgerStatus::Failed : rows.status();
}

// Ends a failed transaction; the message already says why.
LedgerStatus rolledBack(LedgerConnection &connection)
{
    connection.command("ROLLBACK", nullptr);
    return connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable;
}

} // namespace

LedgerStatus LedgerSchema::version(LedgerConnection &connection, int *version, QString *message)
{
    LedgerRows rows = connection.exec("SELECT to_regclass('ledger.meta') IS NOT NULL");
    if (!rows.ok())
        return fail(rows, message);
    if (rows.text(0, 0) != QLatin1String("t")) {
        *version = 0;
        return LedgerStatus::Ok;
    }
    rows = connection.exec("SELECT value FROM ledger.meta WHERE key = 'schema_version'");
    if (!rows.ok())
        return fail(rows, message);
    bool ok = false;
    const int found = rows.rowCount() == 1 ? rows.text(0, 0).toInt(&ok) : 0;
    if (!ok || found < 0) {
        if (message)
            *message = tr("The ledger's schema version is unreadable: \"%1\".").arg(rows.text(0, 0));
        return LedgerStatus::Failed;
    }
    *version = found;
    return LedgerStatus::Ok;
}

LedgerStatus LedgerSchema::check(LedgerConnection &connection, QString *message)
{
    int found = 0;
    const LedgerStatus status = version(connection, &found, message);
    if (status != LedgerStatus::Ok)
        return status;
    if (found == currentVersion)
        return LedgerStatus::Ok;
    if (message) {
        if (found == 0)
            *message = tr("The database holds no ledger: create it with \"ledger create-schema\".");
        else if (found < currentVersion)
            *message = tr("The ledger's schema is at version %1, this program needs version %2: bring it up to "
                          "date with \"ledger create-schema\".")
                           .arg(found)
                           .arg(currentVersion);
        else
            *message = tr("The ledger's schema is at version %1, newer than this program knows (%2): update the "
                          "station.")
                           .arg(found)
                           .arg(currentVersion);
    }
    return LedgerStatus::Failed;
}

LedgerStatus LedgerSchema::create(LedgerConnection &connection, const QString &stationRole, QString *message)
{
    if (stationRole.trimmed().isEmpty()) {
        if (message)
            *message = tr("The stations' role needs a name.");
        return LedgerStatus::Failed;
    }
    if (!connection.command("BEGIN", message))
        return connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable;
    // Two ledger commands creating the schema at once wait for each other instead of failing halfway.
    LedgerRows rows = connection.exec("SELECT pg_advisory_xact_lock(hashtext('ledger schema'))");
    int found = 0;
    LedgerStatus status = rows.ok() ? version(connection, &found, message) : fail(rows, message);
    if (status != LedgerStatus::Ok) {
        rolledBack(connection);
        return status;
    }
    if (found > currentVersion) {
        connection.command("ROLLBACK", nullptr);
        if (message)
            *message = tr("The ledger's schema is at version %1, newer than this program knows (%2).")
                           .arg(found)
                           .arg(currentVersion);
        return LedgerStatus::Failed;
    }
    if (found == 0) {
        rows = connection.exec("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1", {stationRole.toUtf8()});
        if (rows.ok() && rows.rowCount() == 0)
            rows = connection.exec(
                QByteArray("CREATE ROLE " + LedgerConnection::identifier(stationRole) + " NOLOGIN").constData());
        if (!rows.ok()) {
            status = fail(rows, message);
            rolledBack(connection);
            return status;
        }
    }
    for (int step = found; step < currentVersion; ++step) {
        QByteArray sql(upgradeSteps[step]);
        sql.replace("@STATION@", LedgerConnection::identifier(stationRole));
        if (!connection.script(sql, message))
            return rolledBack(connection);
    }
    rows = connection.exec("INSERT INTO ledger.meta (key, value) VALUES ('schema_version', $1), "
                           "('station_role', $2) ON CONFLICT (key) DO UPDATE SET value = EXCLUDED.value "
                           "WHERE ledger.meta.key = 'schema_version'",
                           {QByteArray::number(currentVersion), stationRole.toUtf8()});
    if (!rows.ok()) {
        status = fail(rows, message);
        rolledBack(connection);
        return status;
    }
    if (!connection.command("COMMIT", message))
        return connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable;
    return LedgerStatus::Ok;
}

LedgerStatus LedgerSchema::addStation(LedgerConnection &connection, const QString &role, QString *message)
{
    LedgerRows rows = connection.exec("SELECT value FROM ledger.meta WHERE key = 'station_role'");
    if (!rows.ok())
        return fail(rows, message);
    if (rows.rowCount() != 1 || role.trimmed().isEmpty()) {
        if (message)
            *message = rows.rowCount() != 1 ? tr("The database holds no ledger: create it first.")
                                            : tr("The station's role needs a name.");
        return LedgerStatus::Failed;
    }
    const QString group = rows.text(0, 0);
    rows = connection.exec("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1", {role.toUtf8()});
    if (!rows.ok())
        return fail(rows, message);
    const QByteArray name = LedgerConnection::identifier(role);
    const QByteArray groupName = LedgerConnection::identifier(group);
    QByteArray sql;
    if (rows.rowCount() == 0)
        sql = "CREATE ROLE " + name + " LOGIN IN ROLE " + groupName;
    else
        sql = "GRANT " + groupName + " TO " + name;
    rows = connection.exec(sql.constData());
    return rows.ok() ? LedgerStatus::Ok : fail(rows, message);
}
