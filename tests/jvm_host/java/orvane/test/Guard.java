package orvane.test;

import java.security.Permission;
import java.util.PropertyPermission;

// A security manager that refuses to write one property and to end the JVM
// (naming the status), and allows the rest, its own removal included.
@SuppressWarnings("removal")
public class Guard extends SecurityManager {
    public static String install() {
        System.setSecurityManager(new Guard());
        return "installed";
    }

    public static String uninstall() {
        System.setSecurityManager(null);
        return "uninstalled";
    }

    @Override
    public void checkPermission(Permission permission) {
        if (permission instanceof PropertyPermission && permission.getName().equals("orvane.denied")
                && permission.getActions().contains("write"))
            throw new SecurityException("orvane.denied is read-only");
        if (permission instanceof RuntimePermission && permission.getName().startsWith("exitVM"))
            throw new SecurityException("exit refused: " + permission.getName());
    }
}
