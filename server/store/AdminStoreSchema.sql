-- The template admin store (DB/db.orig), built into a SQLite file at build
-- time and copied to DB/db.dat on a server's first start.
--
-- Account names compare without regard to case, as they always have (a login
-- as "ADMIN" is the super administrator's); passwords compare exactly.
CREATE TABLE vex_2nd_admins (
    admin_name  TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    admin_pwd   TEXT,
    admin_depts TEXT,
    is_sadmin   TEXT,
    -- The roles a save is writing to RolesAdmin.ini, set with admin_depts and
    -- cleared once the file holds them; a value left by a crash is written
    -- to the file at the next start.
    pending_roles TEXT
);

-- The super administrator. The initial password is stored as plain text: the
-- first successful login replaces it by its Argon2id hash, and the server
-- warns at every start until it has been changed.
INSERT INTO vex_2nd_admins (admin_name, admin_pwd, admin_depts, is_sadmin)
VALUES ('admin', 'admin', NULL, '1');

-- The audit trail: one row per login, change and refusal, never updated; the
-- only removal is the retention prune by time. The server creates the table
-- and its indexes in an older data file that lacks them, with these same
-- statements. Times are UTC text "YYYY-MM-DDTHH:MM:SS.mmmZ", so text order is
-- time order; pages are read newest first on (audit_time, audit_id).
CREATE TABLE IF NOT EXISTS warden_audit (
    audit_id     BIGINT NOT NULL PRIMARY KEY,
    audit_time   VARCHAR(24) NOT NULL,
    account_name TEXT NOT NULL,
    admin_level  TEXT NOT NULL,
    peer_address TEXT NOT NULL,
    peer_port    INTEGER NOT NULL,
    request_name TEXT NOT NULL,
    target       TEXT NOT NULL,
    outcome      TEXT NOT NULL,
    detail       TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS warden_audit_by_time ON warden_audit(audit_time, audit_id);
CREATE INDEX IF NOT EXISTS warden_audit_by_account
    ON warden_audit(account_name, audit_time, audit_id);
