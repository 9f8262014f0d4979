package orvane.test;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.PrintStream;

// Prints each argument alternately to System.out and System.err, marked
// with the stream; restore() gives the process its standard streams back.
public class Streams {
    public static void main(String[] args) {
        for (int i = 0; i < args.length; ++i) {
            if (i % 2 == 0)
                System.out.println("out " + args[i]);
            else
                System.err.println("err " + args[i]);
        }
    }

    public static String restore() {
        System.setOut(new PrintStream(new FileOutputStream(FileDescriptor.out), true));
        System.setErr(new PrintStream(new FileOutputStream(FileDescriptor.err), true));
        return "restored";
    }
}
