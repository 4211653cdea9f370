-- The admin store on SQLite: built into the template DB/db.orig at build
-- time (copied to DB/db.dat on a server's first start), and what
-- `warden-server --init-store` creates in an empty SQLite database.
--
-- Each "-- step:" line starts one step, which makes one table or adds one
-- column; the server applies at start every step an existing store lacks.
-- A released step is never edited: a later change is a new step at the end.
-- AdminStoreSchemaPostgres.sql holds the same steps for PostgreSQL.
--
-- Account names compare without regard to case, as they always have (a login
-- as "ADMIN" is the super administrator's); passwords compare exactly.

-- step: table vex_2nd_admins
CREATE TABLE vex_2nd_admins (
    admin_name  TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    admin_pwd   TEXT,
    admin_depts TEXT,
    is_sadmin   TEXT
);

-- The super administrator. The initial password is stored as plain text: the
-- first successful login replaces it by its Argon2id hash, and the server
-- warns at every start until it has been changed.
INSERT INTO vex_2nd_admins (admin_name, admin_pwd, admin_depts, is_sadmin)
VALUES ('admin', 'admin', NULL, '1');

-- step: column vex_2nd_admins.pending_roles
-- The roles a save is writing to RolesAdmin.ini, set with admin_depts and
-- cleared once the file holds them; a value left by a crash is written to the
-- file at the next start.
ALTER TABLE vex_2nd_admins ADD COLUMN pending_roles TEXT;

-- step: table warden_audit
-- The audit trail: one row per login, change and refusal, never updated; the
-- only removal is the retention prune by time. Times are UTC text
-- "YYYY-MM-DDTHH:MM:SS.mmmZ", so text order is time order; pages are read
-- newest first on (audit_time, audit_id), which the indexes serve.
CREATE TABLE warden_audit (
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
CREATE INDEX warden_audit_by_time ON warden_audit(audit_time, audit_id);
CREATE INDEX warden_audit_by_account ON warden_audit(account_name, audit_time, audit_id);

-- step: column vex_2nd_admins.admin_roles
-- The roles the administrator may grant, kept here instead of RolesAdmin.ini
-- when [ADMIN_STORE] ROLES_IN_STORE=1, so that servers sharing the store
-- share them; NULL until a save (or the first start in that mode, which takes
-- them from RolesAdmin.ini) has written them.
ALTER TABLE vex_2nd_admins ADD COLUMN admin_roles TEXT;
