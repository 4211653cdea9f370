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
