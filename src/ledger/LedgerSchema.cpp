// The ledger's schema and its upgrades, as SQL text. Past 600 lines because each version's statements stay as they
// shipped, one after the other, so that any ledger is brought up from the version it holds.
#include "ledger/LedgerSchema.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

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

// Version 2: no station can act as another, plant or move a counter, or take identifiers ahead of the
// sequence. Rows are stamped with the login role (session_user), which SET ROLE does not change.
const char *const schemaVersion2 = R"SQL(
-- Each station's login role is bound to one station name by the owner (ledger add-station ROLE --station NAME).
CREATE TABLE ledger.stations (
    role name PRIMARY KEY,
    station text NOT NULL UNIQUE CHECK (station ~ '^[A-Za-z0-9_-]{1,63}$')
);
REVOKE ALL ON ledger.stations FROM PUBLIC;

-- Roles that claimed under one name only, a name no other role used, keep it.
INSERT INTO ledger.stations (role, station)
SELECT c.station_role, min(c.station) FROM ledger.cycles c
WHERE NOT c.imported
  AND NOT coalesce((SELECT r.rolsuper FROM pg_catalog.pg_roles r WHERE r.rolname = c.station_role), true)
GROUP BY c.station_role
HAVING count(DISTINCT c.station) = 1 AND min(c.station) ~ '^[A-Za-z0-9_-]{1,63}$'
   AND min(c.station) NOT IN (SELECT station FROM ledger.cycles WHERE NOT imported GROUP BY station
                              HAVING count(DISTINCT station_role) > 1);

CREATE FUNCTION ledger.station_name() RETURNS text LANGUAGE sql STABLE SECURITY DEFINER
SET search_path = pg_catalog AS $$
    SELECT station FROM ledger.stations WHERE role = session_user
$$;

-- The name a station's row carries: its role's, whatever it asked for.
CREATE FUNCTION ledger.bound_station(asked text) RETURNS text LANGUAGE plpgsql STABLE SECURITY DEFINER
SET search_path = pg_catalog AS $$
DECLARE
    bound text := (SELECT station FROM ledger.stations WHERE role = session_user);
BEGIN
    IF bound IS NULL THEN
        RAISE EXCEPTION 'ledger: role % is bound to no station', session_user USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF asked IS NOT NULL AND asked <> bound THEN
        RAISE EXCEPTION 'ledger: role % is station %, not %', session_user, bound, asked
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN bound;
END
$$;

CREATE OR REPLACE FUNCTION ledger.guard_cycle() RETURNS trigger LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        NEW.station_role := session_user;
        IF NOT ledger.is_admin() THEN
            NEW.station := ledger.bound_station(NEW.station);
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

CREATE OR REPLACE FUNCTION ledger.stamp_row() RETURNS trigger LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
    NEW.station_role := session_user;
    IF NOT ledger.is_admin() THEN
        NEW.station := ledger.bound_station(NEW.station);
        IF TG_TABLE_NAME = 'confirmations' THEN
            NEW.confirmed_at := now();
        ELSE
            NEW.taken_at := now();
        END IF;
    END IF;
    RETURN NEW;
END
$$;

-- Identifiers come from the server only: a station that could insert them could take those of others ahead.
ALTER TABLE ledger.cycles ALTER COLUMN id DROP DEFAULT;
DROP SEQUENCE ledger.cycles_id_seq;
ALTER TABLE ledger.cycles ALTER COLUMN id ADD GENERATED ALWAYS AS IDENTITY;
SELECT pg_catalog.setval(pg_catalog.pg_get_serial_sequence('ledger.cycles', 'id'), coalesce(max(id), 0) + 1, false)
FROM ledger.cycles;
ALTER TABLE ledger.confirmations ALTER COLUMN id DROP DEFAULT;
DROP SEQUENCE ledger.confirmations_id_seq;
ALTER TABLE ledger.confirmations ALTER COLUMN id ADD GENERATED ALWAYS AS IDENTITY;
SELECT pg_catalog.setval(pg_catalog.pg_get_serial_sequence('ledger.confirmations', 'id'), coalesce(max(id), 0) + 1,
                         false)
FROM ledger.confirmations;
ALTER TABLE ledger.counter_blocks ALTER COLUMN id DROP DEFAULT;
DROP SEQUENCE ledger.counter_blocks_id_seq;
ALTER TABLE ledger.counter_blocks ALTER COLUMN id ADD GENERATED ALWAYS AS IDENTITY;
SELECT pg_catalog.setval(pg_catalog.pg_get_serial_sequence('ledger.counter_blocks', 'id'), coalesce(max(id), 0) + 1,
                         false)
FROM ledger.counter_blocks;

-- The span a counter's name stands for: a type allocation code's million bodies, or a Bluetooth range without
-- its end. Other names (none of the station's own) span what their first taker gave.
CREATE FUNCTION ledger.counter_span(counter_name text, range_first bigint, range_last bigint,
                                    OUT low bigint, OUT high bigint)
LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog AS $$
BEGIN
    IF counter_name ~ '^DefaultIMEI:[0-9]{8}$' THEN
        -- Body 999999 of an allocation is its counter's end mark, never handed out.
        low := substr(counter_name, 13)::bigint * 1000000;
        high := low + 999998;
    ELSIF counter_name ~ '^BT:[0-9a-f]{12}-[0-9a-f]{12}$' THEN
        low := ('x' || lpad(substr(counter_name, 4, 12), 16, '0'))::bit(64)::bigint;
        high := ('x' || lpad(substr(counter_name, 17, 12), 16, '0'))::bit(64)::bigint - 1;
    ELSIF counter_name ~ '^(DefaultIMEI|BT):' THEN
        low := 1;
        high := 0;
    ELSE
        low := range_first;
        high := range_last;
    END IF;
END
$$;

-- A counter hands out its blocks by a sequence of its own, the number of the next block: a sequence takes no
-- lock that a transaction keeps, so a station that leaves its transaction open after taking a block holds up
-- nobody. Block k runs from next_value + k * block_size, block_size being the first taker's.
ALTER TABLE ledger.counters ADD COLUMN block_size bigint, ADD COLUMN blocks regclass;

-- A counter never changes; its block size and sequence are set once, when it is created.
CREATE OR REPLACE FUNCTION ledger.guard_counter() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF (NEW.name, NEW.next_value, NEW.last_value) IS DISTINCT FROM (OLD.name, OLD.next_value, OLD.last_value)
       OR (OLD.block_size IS NOT NULL AND NEW.block_size IS DISTINCT FROM OLD.block_size)
       OR (OLD.blocks IS NOT NULL AND NEW.blocks IS DISTINCT FROM OLD.blocks) THEN
        RAISE EXCEPTION 'ledger: counter % does not change', OLD.name USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;

CREATE FUNCTION ledger.number_blocks(counter_name text) RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog AS $$
DECLARE
    sequence_name text := 'ledger.' || quote_ident('counter_' || md5(counter_name));
BEGIN
    EXECUTE 'CREATE SEQUENCE ' || sequence_name || ' MINVALUE 0 START 0';
    UPDATE ledger.counters SET blocks = sequence_name::regclass WHERE name = counter_name;
END
$$;
REVOKE ALL ON FUNCTION ledger.number_blocks(text) FROM PUBLIC;

-- Counters of the first version go on where they stood, in blocks of the size last taken of them.
UPDATE ledger.counters c SET block_size = coalesce((SELECT b.last_value - b.first_value + 1 FROM ledger.counter_blocks b
                                                    WHERE b.counter = c.name ORDER BY b.id DESC LIMIT 1), 100);
SELECT ledger.number_blocks(name) FROM ledger.counters;
ALTER TABLE ledger.counters ALTER COLUMN block_size SET NOT NULL, ADD CHECK (block_size > 0);

-- The only way a station takes values of a shared counter: its next block, inside the span the counter's name
-- stands for. Both outputs are null when the counter is used up.
CREATE FUNCTION ledger.take_block(counter_name text, range_first bigint, range_last bigint, size bigint,
                                  OUT block_first bigint, OUT block_last bigint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
    taker text := ledger.bound_station(NULL);
    span_low bigint;
    span_high bigint;
    held_start bigint;
    held_last bigint;
    held_size bigint;
    held_blocks regclass;
    block bigint;
BEGIN
    SELECT s.low, s.high INTO span_low, span_high FROM ledger.counter_span(counter_name, range_first, range_last) s;
    IF span_high < span_low OR range_first < span_low OR range_first > span_high OR range_last <> span_high
       OR size < 1 OR size > 1000000 THEN
        RAISE EXCEPTION 'ledger: counter % cannot run from % to %', counter_name, range_first, range_last
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    SELECT c.next_value, c.last_value, c.block_size, c.blocks INTO held_start, held_last, held_size, held_blocks
        FROM ledger.counters c WHERE c.name = counter_name;
    IF NOT FOUND THEN
        -- Only a counter's first taker waits here for another creating it at the same moment.
        INSERT INTO ledger.counters (name, next_value, last_value, block_size)
            VALUES (counter_name, range_first, range_last, size) ON CONFLICT DO NOTHING;
        IF FOUND THEN
            PERFORM ledger.number_blocks(counter_name);
        END IF;
        SELECT c.next_value, c.last_value, c.block_size, c.blocks INTO held_start, held_last, held_size, held_blocks
            FROM ledger.counters c WHERE c.name = counter_name;
    END IF;
    IF held_last <> span_high OR held_start < span_low OR held_start > span_high + 1 OR held_blocks IS NULL THEN
        RAISE EXCEPTION 'ledger: counter % runs outside its range (to %): the ledger''s owner must look at it',
            counter_name, held_last USING ERRCODE = 'insufficient_privilege';
    END IF;
    block := nextval(held_blocks);
    block_first := held_start + block * held_size;
    IF block_first > held_last THEN
        block_first := NULL;
        RETURN;
    END IF;
    block_last := least(block_first + held_size - 1, held_last);
    INSERT INTO ledger.counter_blocks (counter, first_value, last_value, station)
        VALUES (counter_name, block_first, block_last, taker);
END
$$;

ALTER POLICY claim ON ledger.cycles WITH CHECK (station_role = session_user);
ALTER POLICY mark ON ledger.cycles USING (station_role = session_user AND state = 'claimed')
    WITH CHECK (station_role = session_user);
ALTER POLICY claim ON ledger.identities WITH CHECK (
    EXISTS (SELECT 1 FROM ledger.cycles c WHERE c.id = cycle_id AND c.station_role = session_user
                                             AND c.state = 'claimed'));
ALTER POLICY confirm ON ledger.confirmations WITH CHECK (station_role = session_user);
DROP POLICY take ON ledger.counter_blocks;

-- Stations insert only the columns they own, and reach the counters through take_block alone: no grant lets them
-- lock a shared row (SELECT ... FOR UPDATE needs UPDATE) or a whole table (LOCK TABLE needs a table-wide grant),
-- nor touch a counter's sequence.
REVOKE INSERT, UPDATE ON ledger.cycles, ledger.identities, ledger.confirmations, ledger.counters,
    ledger.counter_blocks FROM @STATION@;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA ledger FROM @STATION@;
GRANT INSERT (station, port, chip_id) ON ledger.cycles TO @STATION@;
GRANT UPDATE (state) ON ledger.cycles TO @STATION@;
GRANT INSERT (kind, value, cycle_id, position) ON ledger.identities TO @STATION@;
GRANT INSERT (kind, value, station, port, chip_id) ON ledger.confirmations TO @STATION@;
REVOKE ALL ON FUNCTION ledger.station_name(), ledger.bound_station(text),
    ledger.take_block(text, bigint, bigint, bigint) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION ledger.station_name(), ledger.bound_station(text),
    ledger.take_block(text, bigint, bigint, bigint) TO @STATION@;
)SQL";

// Version 3: the line view's read-only role, the tokens of its clients, and the indexes its figures read through.
// "@READER@" stands for the quoted name of the read-only role.
const char *const schemaVersion3 = R"SQL(
-- A client of the line view's API, known by the SHA-256 of its token (the token itself is shown once, never kept).
CREATE TABLE ledger.api_tokens (
    name text PRIMARY KEY CHECK (name ~ '^[A-Za-z0-9_-]{1,63}$'),
    token_hash text NOT NULL UNIQUE CHECK (token_hash ~ '^[0-9a-f]{64}$'),
    created_at timestamptz NOT NULL DEFAULT now(),
    revoked_at timestamptz
);
REVOKE ALL ON ledger.api_tokens FROM PUBLIC;

-- The client a token's hash belongs to, while not revoked: the reader sees no hash but the one it asks for.
CREATE FUNCTION ledger.api_client(hash text) RETURNS text LANGUAGE sql STABLE SECURITY DEFINER
SET search_path = pg_catalog AS $$
    SELECT name FROM ledger.api_tokens WHERE token_hash = hash AND revoked_at IS NULL
$$;
REVOKE ALL ON FUNCTION ledger.api_client(text) FROM PUBLIC;

-- The reader reads the line's records and nothing else: no insert, update, counter block or token.
GRANT USAGE ON SCHEMA ledger TO @READER@;
GRANT SELECT ON ledger.meta, ledger.stations, ledger.cycles, ledger.identities, ledger.confirmations,
    ledger.counters, ledger.counter_blocks TO @READER@;
GRANT EXECUTE ON FUNCTION ledger.api_client(text) TO @READER@;

-- A station's cycles by time (its day, its last cycle; holding what the line view counts, so that it reads the
-- index alone), its open claims (failures are few among millions of writes), the writes of a shift, a period's
-- cycles in export order, and a counter's blocks.
CREATE INDEX cycles_station_claimed ON ledger.cycles (station, claimed_at) INCLUDE (state, written_at)
    WHERE NOT imported;
CREATE INDEX cycles_station_open ON ledger.cycles (station, claimed_at) WHERE state = 'claimed' AND NOT imported;
CREATE INDEX cycles_written_at ON ledger.cycles (written_at) WHERE written_at IS NOT NULL AND NOT imported;
CREATE INDEX cycles_export_order ON ledger.cycles (claimed_at, id) WHERE NOT imported;
CREATE INDEX counter_blocks_counter ON ledger.counter_blocks (counter, taken_at);
)SQL";

// Version 4: the shared counters are the owner's (ledger add-counter); a station takes blocks of those there are and
// no longer creates one, so that no station opens a counter for an allocation code or a range of its choosing.
const char *const schemaVersion4 = R"SQL(
-- The owner's way to add a counter: from `range_first` to `range_last`, inside the span its name stands for,
-- handed out `size` values at a time. True when added, false when the same counter is there already; another
-- range under the name is refused (a counter never changes). It runs as the schema's owner, so that the counter's
-- sequence is the owner's (take_block's) also where a superuser adds it; no station may call it.
CREATE FUNCTION ledger.add_counter(counter_name text, range_first bigint, range_last bigint, size bigint)
RETURNS boolean LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
    span_low bigint;
    span_high bigint;
    held_first bigint;
    held_last bigint;
BEGIN
    SELECT s.low, s.high INTO span_low, span_high FROM ledger.counter_span(counter_name, range_first, range_last) s;
    IF counter_name = '' OR span_high < span_low OR range_first < span_low OR range_last > span_high
       OR range_first > range_last OR size < 1 OR size > 1000000 THEN
        RAISE EXCEPTION 'ledger: counter % cannot run from % to % in blocks of %', counter_name, range_first,
            range_last, size USING ERRCODE = 'check_violation';
    END IF;
    INSERT INTO ledger.counters (name, next_value, last_value, block_size)
        VALUES (counter_name, range_first, range_last, size) ON CONFLICT DO NOTHING;
    IF FOUND THEN
        PERFORM ledger.number_blocks(counter_name);
        RETURN true;
    END IF;
    SELECT c.next_value, c.last_value INTO held_first, held_last FROM ledger.counters c WHERE c.name = counter_name;
    IF (held_first, held_last) IS DISTINCT FROM (range_first, range_last) THEN
        RAISE EXCEPTION 'ledger: counter % runs from % to % already', counter_name, held_first, held_last
            USING ERRCODE = 'unique_violation';
    END IF;
    RETURN false;
END
$$;
REVOKE ALL ON FUNCTION ledger.add_counter(text, bigint, bigint, bigint) FROM PUBLIC;

-- As before, but a counter the owner has not added is refused (no_data_found), and the owner may end a default-IMEI
-- or Bluetooth counter before the end of its name's span (another counter's range is the station's, as before).
CREATE OR REPLACE FUNCTION ledger.take_block(counter_name text, range_first bigint, range_last bigint, size bigint,
                                             OUT block_first bigint, OUT block_last bigint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
    taker text := ledger.bound_station(NULL);
    span_low bigint;
    span_high bigint;
    held_start bigint;
    held_last bigint;
    held_size bigint;
    held_blocks regclass;
    block bigint;
BEGIN
    SELECT s.low, s.high INTO span_low, span_high FROM ledger.counter_span(counter_name, range_first, range_last) s;
    IF span_high < span_low OR range_first < span_low OR range_first > span_high OR range_last <> span_high
       OR size < 1 OR size > 1000000 THEN
        RAISE EXCEPTION 'ledger: counter % cannot run from % to %', counter_name, range_first, range_last
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    SELECT c.next_value, c.last_value, c.block_size, c.blocks INTO held_start, held_last, held_size, held_blocks
        FROM ledger.counters c WHERE c.name = counter_name;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'ledger: there is no shared counter %: the ledger''s owner adds it (ledger add-counter)',
            counter_name USING ERRCODE = 'no_data_found';
    END IF;
    IF held_last > span_high OR (held_last <> span_high AND counter_name !~ '^(DefaultIMEI|BT):')
       OR held_start < span_low OR held_start > held_last + 1 OR held_blocks IS NULL THEN
        RAISE EXCEPTION 'ledger: counter % runs outside its range (to %): the ledger''s owner must look at it',
            counter_name, held_last USING ERRCODE = 'insufficient_privilege';
    END IF;
    block := nextval(held_blocks);
    block_first := held_start + block * held_size;
    IF block_first > held_last THEN
        block_first := NULL;
        RETURN;
    END IF;
    block_last := least(block_first + held_size - 1, held_last);
    INSERT INTO ledger.counter_blocks (counter, first_value, last_value, station)
        VALUES (counter_name, block_first, block_last, taker);
END
$$;
)SQL";

// Version 5: pools the owner copied from the line's workbooks (ledger add-pool), so that the line view tells what is
// left of them. A value is marked claimed by the claim itself, so that what is left is counted through an index.
const char *const schemaVersion5 = R"SQL(
CREATE TABLE ledger.pools (
    name text PRIMARY KEY CHECK (name ~ '^[A-Za-z0-9_-]{1,63}$'),
    kind smallint NOT NULL CHECK (kind IN (1, 2, 4)),
    size integer NOT NULL CHECK (size > 0),
    added_at timestamptz NOT NULL DEFAULT now()
);
-- A value lies in one pool at most (an IMEI set by its first IMEI); claimed_at is its claim's time.
CREATE TABLE ledger.pool_values (
    kind smallint NOT NULL,
    value text NOT NULL,
    pool text NOT NULL REFERENCES ledger.pools (name),
    claimed_at timestamptz,
    PRIMARY KEY (kind, value)
);
-- What is left of a pool, and what of it was claimed since a time, each counted through an index of its own.
CREATE INDEX pool_values_left ON ledger.pool_values (pool) WHERE claimed_at IS NULL;
CREATE INDEX pool_values_pool ON ledger.pool_values (pool, claimed_at);
REVOKE ALL ON ledger.pools, ledger.pool_values FROM PUBLIC;
GRANT SELECT ON ledger.pools, ledger.pool_values TO @READER@;

-- Marks the pool values a statement claimed, in the claiming transaction: a claim rolled back marks nothing.
-- It runs as the schema's owner, since stations may not write pools.
CREATE FUNCTION ledger.mark_pool_values() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog AS $$
BEGIN
    IF EXISTS (SELECT 1 FROM ledger.pools) THEN
        UPDATE ledger.pool_values p SET claimed_at = c.claimed_at
        FROM claimed a JOIN ledger.cycles c ON c.id = a.cycle_id
        WHERE p.kind = a.kind AND p.value = a.value AND p.claimed_at IS NULL;
    END IF;
    RETURN NULL;
END
$$;
REVOKE ALL ON FUNCTION ledger.mark_pool_values() FROM PUBLIC;
CREATE TRIGGER pool_values AFTER INSERT ON ledger.identities REFERENCING NEW TABLE AS claimed
    FOR EACH STATEMENT EXECUTE FUNCTION ledger.mark_pool_values();
)SQL";

// The steps from one version to the next; step i brings version i to version i + 1.
const char *const upgradeSteps[] = {schemaVersion1, schemaVersion2, schemaVersion3, schemaVersion4, schemaVersion5};
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

// After a lock timeout (55P03): who holds the ledger's schema lock or a lock on one of its tables, as far
// as the server shows it. Spelled out in full: the catalogue tool attributes tr() outside a class to no context.
LedgerStatus lockedOut(LedgerConnection &connection, const QString &sqlState, LedgerStatus status, QString *message)
{
    if (sqlState != QLatin1String("55P03") || !message)
        return status;
    const LedgerRows rows = connection.exec(
        "SELECT DISTINCT l.pid, coalesce(a.usename::text, ''), coalesce(a.application_name, '') "
        "FROM pg_catalog.pg_locks l LEFT JOIN pg_catalog.pg_stat_activity a ON a.pid = l.pid "
        "WHERE l.granted AND l.pid <> pg_backend_pid() AND ("
        "(l.locktype = 'advisory' AND l.objsubid = 1 AND "
        "((l.classid::bigint << 32) | l.objid::bigint) = hashtext('ledger schema')::bigint) OR "
        "(l.locktype = 'relation' AND l.relation IN (SELECT c.oid FROM pg_catalog.pg_class c "
        "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'ledger'))) ORDER BY 1");
    QStringList holders;
    for (int row = 0; row < rows.rowCount(); ++row) {
        QString holder = QCoreApplication::translate("LedgerSchema", "pid %1").arg(rows.text(row, 0));
        if (!rows.text(row, 1).isEmpty())
            holder += QCoreApplication::translate("LedgerSchema", ", role %1").arg(rows.text(row, 1));
        if (!rows.text(row, 2).isEmpty())
            holder += QCoreApplication::translate("LedgerSchema", ", application \"%1\"").arg(rows.text(row, 2));
        holders.append(holder);
    }
    *message = holders.isEmpty()
                   ? QCoreApplication::translate(
                         "LedgerSchema",
                         "Another session holds the ledger's locks, so its schema is left as it was; try again.")
                   : QCoreApplication::translate(
                         "LedgerSchema",
                         "Another session holds the ledger's locks, so its schema is left as it was: %1. Try again "
                         "when it has ended, or end it (pg_terminate_backend).")
                         .arg(holders.join(QLatin1String("; ")));
    return LedgerStatus::Unreachable;
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

bool LedgerSchema::isValidName(const QString &name)
{
    static const QRegularExpression rule(QStringLiteral("^[A-Za-z0-9_-]{1,63}$"));
    return rule.match(name).hasMatch();
}

LedgerStatus LedgerSchema::create(LedgerConnection &connection, const QString &stationRole, QString *message,
                                  int version)
{
    if (!isValidName(stationRole)) {
        if (message)
            *message = tr("The stations' role needs a name of letters, digits, '_' or '-' (at most 63): \"%1\".")
                           .arg(stationRole);
        return LedgerStatus::Failed;
    }
    version = qBound(1, version, currentVersion);
    if (!connection.command("BEGIN", message))
        return connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable;
    // Two ledger commands creating the schema at once wait for each other instead of failing halfway; a station
    // holding this lock (or a table of the ledger) makes the wait end at the lock timeout, with its name.
    LedgerRows rows = connection.exec("SELECT pg_advisory_xact_lock(hashtext('ledger schema'))");
    int found = 0;
    LedgerStatus status = rows.ok() ? LedgerSchema::version(connection, &found, message) : fail(rows, message);
    if (status != LedgerStatus::Ok) {
        rolledBack(connection);
        return lockedOut(connection, rows.ok() ? QString() : rows.sqlState(), status, message);
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
    if (found < 3 && version >= 3) {
        rows = connection.exec("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1", {readerRole().toUtf8()});
        if (rows.ok() && rows.rowCount() == 0)
            rows = connection.exec(
                QByteArray("CREATE ROLE " + LedgerConnection::identifier(readerRole()) + " NOLOGIN").constData());
        if (!rows.ok()) {
            status = fail(rows, message);
            rolledBack(connection);
            return status;
        }
    }
    for (int step = found; step < version; ++step) {
        QByteArray sql(upgradeSteps[step]);
        sql.replace("@STATION@", LedgerConnection::identifier(stationRole));
        sql.replace("@READER@", LedgerConnection::identifier(readerRole()));
        QString why;
        if (!connection.script(sql, &why)) {
            const QString state = connection.lastSqlState();
            if (message)
                *message = why;
            return lockedOut(connection, state, rolledBack(connection), message);
        }
    }
    rows = connection.exec("INSERT INTO ledger.meta (key, value) VALUES ('schema_version', $1), "
                           "('station_role', $2) ON CONFLICT (key) DO UPDATE SET value = EXCLUDED.value "
                           "WHERE ledger.meta.key = 'schema_version'",
                           {QByteArray::number(qMax(found, version)), stationRole.toUtf8()});
    if (!rows.ok()) {
        status = fail(rows, message);
        rolledBack(connection);
        return status;
    }
    if (!connection.command("COMMIT", message))
        return connection.isOpen() ? LedgerStatus::Failed : LedgerStatus::Unreachable;
    return LedgerStatus::Ok;
}

LedgerStatus LedgerSchema::addReader(LedgerConnection &connection, const QString &role, QString *message)
{
    if (!isValidName(role) || role == readerRole()) {
        if (message)
            *message = tr("A reader's role is named with letters, digits, '_' or '-' (at most 63), and is not %1: "
                          "\"%2\".")
                           .arg(readerRole(), role);
        return LedgerStatus::Failed;
    }
    int found = 0;
    LedgerStatus status = LedgerSchema::version(connection, &found, message);
    if (status != LedgerStatus::Ok)
        return status;
    if (found != currentVersion) {
        if (message)
            *message = tr("The ledger's schema is not at version %1: bring it up to date with \"ledger "
                          "create-schema\" first.")
                           .arg(currentVersion);
        return LedgerStatus::Failed;
    }
    // A station's role stays a station: reading through the line view is a login of its own.
    LedgerRows rows =
        connection.exec("SELECT r.rolsuper OR EXISTS (SELECT 1 FROM ledger.stations s WHERE s.role = r.rolname) "
                        "FROM pg_catalog.pg_roles r WHERE r.rolname = $1",
                        {role.toUtf8()});
    if (!rows.ok())
        return fail(rows, message);
    if (rows.rowCount() == 1 && rows.text(0, 0) == QLatin1String("t")) {
        if (message)
            *message = tr("Role %1 is a station or a superuser; a reader needs a role of its own.").arg(role);
        return LedgerStatus::Refused;
    }
    const QByteArray name = LedgerConnection::identifier(role);
    const QByteArray group = LedgerConnection::identifier(readerRole());
    const QByteArray sql = rows.rowCount() == 0 ? QByteArray("CREATE ROLE " + name + " LOGIN IN ROLE " + group)
                                                : QByteArray("GRANT " + group + " TO " + name);
    rows = connection.exec(sql.constData());
    return rows.ok() ? LedgerStatus::Ok : fail(rows, message);
}

LedgerStatus LedgerSchema::addStation(LedgerConnection &connection, const QString &role, const QString &station,
                                      QString *message)
{
    if (!isValidName(role) || !isValidName(station)) {
        if (message)
            *message = tr("Role and station names are letters, digits, '_' or '-' (at most 63): \"%1\".")
                           .arg(isValidName(role) ? station : role);
        return LedgerStatus::Failed;
    }
    LedgerRows rows = connection.exec("SELECT value FROM ledger.meta WHERE key = 'station_role'");
    if (!rows.ok())
        return fail(rows, message);
    int found = 0;
    if (rows.rowCount() != 1 || LedgerSchema::version(connection, &found, message) != LedgerStatus::Ok ||
        found != currentVersion) {
        if (message)
            *message = rows.rowCount() != 1 ? tr("The database holds no ledger: create it first.")
                                            : tr("The ledger's schema is not at version %1: bring it up to date "
                                                 "with \"ledger create-schema\" first.")
                                                  .arg(currentVersion);
        return LedgerStatus::Failed;
    }
    const QString group = rows.text(0, 0);
    rows = connection.exec("SELECT role FROM ledger.stations WHERE station = $1 AND role <> $2",
                           {station.toUtf8(), role.toUtf8()});
    if (!rows.ok())
        return fail(rows, message);
    if (rows.rowCount() > 0) {
        if (message)
            *message = tr("Station %1 is bound to role %2 already.").arg(station, rows.text(0, 0));
        return LedgerStatus::Refused;
    }
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
    if (rows.ok())
        rows = connection.exec("INSERT INTO ledger.stations (role, station) VALUES ($1, $2) "
                               "ON CONFLICT (role) DO UPDATE SET station = EXCLUDED.station",
                               {role.toUtf8(), station.toUtf8()});
    return rows.ok() ? LedgerStatus::Ok : fail(rows, message);
}

LedgerStatus LedgerSchema::addCounter(LedgerConnection &connection, const QString &name, qint64 first, qint64 last,
                                      qint64 blockSize, bool *added, QString *message)
{
    int found = 0;
    const LedgerStatus status = LedgerSchema::version(connection, &found, message);
    if (status != LedgerStatus::Ok)
        return status;
    if (found != currentVersion) {
        if (message)
            *message = tr("The ledger's schema is not at version %1: bring it up to date with \"ledger "
                          "create-schema\" first.")
                           .arg(currentVersion);
        return LedgerStatus::Failed;
    }
    LedgerRows rows =
        connection.exec("SELECT next_value, last_value FROM ledger.counters WHERE name = $1", {name.toUtf8()});
    if (!rows.ok())
        return fail(rows, message);
    if (rows.rowCount() == 1 && (rows.number(0, 0) != first || rows.number(0, 1) != last)) {
        if (message)
            *message = tr("The shared counter %1 runs from %2 to %3 already, and a counter keeps its range.")
                           .arg(name)
                           .arg(rows.number(0, 0))
                           .arg(rows.number(0, 1));
        return LedgerStatus::Refused;
    }
    rows = connection.exec(
        "SELECT ledger.add_counter($1, $2, $3, $4)",
        {name.toUtf8(), QByteArray::number(first), QByteArray::number(last), QByteArray::number(blockSize)});
    if (!rows.ok()) {
        if (message && rows.sqlState() == QLatin1String("23514"))
            *message = tr("The shared counter %1 cannot run from %2 to %3 in blocks of %4: its name stands for "
                          "other values.")
                           .arg(name)
                           .arg(first)
                           .arg(last)
                           .arg(blockSize);
        else if (message)
            *message = rows.message();
        return rows.sqlState() == QLatin1String("23514") || rows.sqlState() == QLatin1String("23505")
                   ? LedgerStatus::Refused
                   : fail(rows, nullptr);
    }
    *added = rows.text(0, 0) == QLatin1String("t");
    return LedgerStatus::Ok;
}
