-- The admin store on PostgreSQL: what `warden-server --init-store` creates
-- in an empty database (the database's owner may also run this file with
-- psql). The steps match those of AdminStoreSchema.sql, the SQLite store:
-- each "-- step:" line starts one step, which makes one table or adds one
-- column; the server applies at start every step an existing store lacks.
-- A released step is never edited: a later change is a new step at the end.
--
-- Account names compare without regard to case: the column is citext, which
-- makes "=", the primary key and ORDER BY ignore case with no change to any
-- statement (a plain text column would need lower() in every one). citext
-- ships with PostgreSQL and is a trusted extension, so the database's owner
-- may create it. The collation "C" folds and orders as SQLite's NOCASE does,
-- whatever the database's locale: ASCII letters fold, everything else
-- compares by code point.

-- step: table vex_2nd_admins
CREATE EXTENSION IF NOT EXISTS citext;
CREATE TABLE vex_2nd_admins (
    admin_name  citext COLLATE "C" NOT NULL PRIMARY KEY,
    admin_pwd   text,
    admin_depts text,
    is_sadmin   text
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
ALTER TABLE vex_2nd_admins ADD COLUMN pending_roles text;

-- step: table warden_audit
-- The audit trail: one row per login, change and refusal, never updated; the
-- only removal is the retention prune by time. Times are UTC text
-- "YYYY-MM-DDTHH:MM:SS.mmmZ", so text order is time order; pages are read
-- newest first on (audit_time, audit_id), which the indexes serve.
CREATE TABLE warden_audit (
    audit_id     bigint NOT NULL PRIMARY KEY,
    audit_time   varchar(24) COLLATE "C" NOT NULL,
    account_name text NOT NULL,
    admin_level  text NOT NULL,
    peer_address text NOT NULL,
    peer_port    integer NOT NULL,
    request_name text NOT NULL,
    target       text NOT NULL,
    outcome      text NOT NULL,
    detail       text NOT NULL
);
CREATE INDEX warden_audit_by_time ON warden_audit(audit_time, audit_id);
CREATE INDEX warden_audit_by_account ON warden_audit(account_name, audit_time, audit_id);

-- step: column vex_2nd_admins.admin_roles
-- The roles the administrator may grant, kept here instead of RolesAdmin.ini
-- when [ADMIN_STORE] ROLES_IN_STORE=1, so that servers sharing the store
-- share them; NULL until a save (or the first start in that mode, which takes
-- them from RolesAdmin.ini) has written them.
ALTER TABLE vex_2nd_admins ADD COLUMN admin_roles text;
